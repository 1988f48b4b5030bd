#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "executor/export.h"
#include "executor/types.h"

// Parameter records that a host fills and hands to the executor: lens, laser, pen, I/O,
// fly marking, extension axes, motion axes and offline documents. Field order is part of
// the interface; defaults describe a neutral 100 mm lens with 16-bit galvo resolution.

// Nine-point calibration block. The three flags come first. Nominal point i (0..8) lies at
// ((i % 3 - 1) * gridPitch, (i / 3 - 1) * gridPitch) mm: row by row from the lowest y, lowest x
// first. gridPoints[i] is where the beam landed (logical mm) when nominal point i was marked
// without calibration; the calibrated mapping then sends a point at gridPoints[i] to nominal i.
// An undistorted lens has gridPoints[i] equal to nominal i.
struct EXECUTOR_API GalvoCalPar {
    int32_t exchangeXY = 0;
    int32_t invertX = 0;
    int32_t invertY = 0;
    double gridPitch = 0.0;
    Point2dConcept<double> gridPoints[9];

    GalvoCalPar() = default;
    ~GalvoCalPar() = default;
    GalvoCalPar(const GalvoCalPar&) = default;
    GalvoCalPar& operator=(const GalvoCalPar&) = default;
};

// Lens geometry and calibration in force.
struct EXECUTOR_API GalvoParam {
    double fieldSize = 100.0;
    double areaSizeX = 100.0;
    double areaSizeY = 100.0;
    int32_t resolution = 65535;
    int32_t center = 32768;
    double libExtent = 1073741824.0;
    double scale = 655.35;
    double offsetX = 0.0;
    double offsetY = 0.0;
    float angle = 0.0f;
    double rotCenterX = 0.0;
    double rotCenterY = 0.0;
    bool exchangeXY = false;
    bool invertX = false;
    bool invertY = false;
    double boxCoef[8] = {1.0, 1.0, 1.0, 1.0, 1.0, 1.0, 100.0, 100.0};
    bool tableEnable = false;
    int32_t tableCount = 21;
    std::vector<double> corrTable1;
    std::vector<double> corrTable2;
    std::vector<double> corrTable3;
    std::vector<double> corrTable4;
    std::vector<double> corrTable5;
    std::vector<double> corrTable6;
    bool use9Point = false;
    GalvoCalPar calPar;

    // Stores the resolution and derives the centre ((resolution + 1) / 2) and the scale
    // (resolution / fieldSize, when the field size is positive) from it.
    void setResolution(int32_t value);
};

// Red pointer beam correction against the marking beam.
struct RedlightParam {
    bool enable = false;
    double offsetX = 0.0;
    double offsetY = 0.0;
    double scaleX = 1.0;
    double scaleY = 1.0;
};

// Base of the optional extension carried by a marking call.
struct EXECUTOR_API ExtParam {
    virtual ~ExtParam();
};

// Extra displacement and rotation applied to every point of a marking call.
struct EXECUTOR_API MRPara : ExtParam {
    double moveX = 0.0;
    double moveY = 0.0;
    double angle = 0.0;
    double rotCenterX = 0.0;
    double rotCenterY = 0.0;
    ~MRPara() override;
};

// Per-call marking control; ext is not owned.
struct MarkCtrlData {
    MarkType markType = 0;
    bool redlight = false;
    ExtParam* ext = nullptr;
};

// Port settings of a lens parameter set.
struct IOParam {
    uint8_t portSetting = 0;
};

// Laser source description.
struct LaserParam {
    LaserType laserType = 0;
    uint8_t pwmEnable0 = 0;
    uint8_t preionEnable = 0;
    int32_t preionWidth = 0;
    float preionFreq = 0.0f;
    uint8_t dutySwitch = 0;
    float dutyA = 0.0f;
    float dutyB = 0.0f;
    float powerTable0[11] = {};
    uint8_t daEnable0 = 0;
    float daTable0[11] = {};
    uint8_t pwmEnable1 = 0;
    uint8_t offTimeMode1 = 0;
    uint8_t fpsEnable1 = 0;
    uint8_t fpsOption1 = 0;
    uint16_t fpsValue1 = 0;
    uint8_t daEnable1 = 0;
    float daTable1[11] = {};
    uint16_t lensWord1 = 0;
    uint8_t pwmEnable4 = 0;
    uint8_t offTimeMode4 = 0;
    uint8_t penWidthSwitch = 0;
    uint8_t fpsEnable4 = 0;
    uint8_t fpsOption4 = 0;
    uint16_t fpsValue4 = 0;
    uint8_t daEnable4 = 0;
    float daTable4[11] = {};
    uint16_t lensWord4 = 0;
    float powerTable2[11] = {};
    uint16_t lensWord2 = 0;
    float powerTable3[11] = {};
    uint16_t lensWord3 = 0;
    uint8_t pwmEnable6 = 0;
    uint8_t daEnable6 = 0;
    float daTable6[11] = {};
    uint8_t pwm2Enable6 = 0;
};

// Whole lens and marking parameter set.
struct TarnParam {
    LaserParam laser;
    IOParam io;
    GalvoParam galvo;
    RedlightParam redlight;
};

// One pen: the marking settings of a colour or layer.
struct PenParam {
    int32_t power = 0;
    uint16_t powerWord = 0;
    float current = 0.0f;
    float frequency = 20.0f;
    float pulseWidth = 10.0f;
    int32_t mopaValue = 0;
    uint16_t lightDelayA = 0;
    uint16_t lightDelayB = 0;
};

// Fly-marking encoder and trigger settings.
struct FlyParam {
    uint8_t triggerFlag = 0;
    float triggerDistance = 0.0f;
    int32_t triggerBMode = 0;
    float triggerBDistance = 0.0f;
    float triggerBTime = 0.0f;
    int32_t triggerAMode = 0;
    float triggerADistance = 0.0f;
    float triggerATime = 0.0f;
    int32_t encoderEnable = 0;
    uint8_t encoderOption1[2] = {};
    uint8_t encoderOption2[2] = {};
    float encoderStep[2] = {};
    int32_t encoderSelect = 0;
    float flySpeed = 0.0f;
};

// SISD parameter sets, passed through to the board unchanged.
struct DASISDPara {
    uint16_t value1 = 0;
    uint16_t value2 = 0;
    uint16_t value3 = 0;
    bool flag = false;
};

struct PowerSISDPara {
    uint16_t value1 = 0;
    uint16_t value2 = 0;
    uint16_t value3 = 0;
    bool flag = false;
};

struct PWMSISDPara {
    uint32_t value1 = 0;
    uint32_t value2 = 0;
    uint32_t value3 = 0;
    bool flag = false;
};

// Timed output action.
struct GpoPar {
    bool enable = false;
    uint32_t port = 0;
    bool level = false;
    uint32_t pulseTime = 0;
    uint32_t delayMode = 0;
    uint32_t delay = 0;
};

// Extension axis on pulse/direction outputs. Speeds default to 0 so that an unused axis slot
// goes out as all zeros; a host sets the speeds of every axis it moves.
struct EXECUTOR_API ExtAxisPar {
    int32_t axisNo = 0;
    uint8_t dirInvert = 0;
    uint8_t scaleEnable = 0;
    int32_t pulsesPerTurn = 1000;
    float travelPerTurn = 1.0f;
    float maxSpeed = 1000.0f;
    uint8_t homeEnable = 0;
    uint8_t homeDirection = 0;
    float homeStartSpeed = 0.0f;
    float homeSpeed = 0.0f;
    float homeAcceleration = 1.0f;
    float homeBackSpeed = 0.0f;
    int32_t homeTravelFactor = 1;
    int32_t homeLevel = 0;
    float scaleFactor = 1.0f;
    float startSpeed = 0.0f;
    float runSpeed = 0.0f;
    float acceleration = 1.0f;
    uint8_t twoStageHoming = 0;
    int32_t moveMode = 0;

    int32_t id() const { return axisNo; }
};

struct EXECUTOR_API ExtAxisParArray {
    std::vector<ExtAxisPar> axes;

    size_t count() const { return axes.size(); }
    const ExtAxisPar& operator[](size_t i) const { return axes[i]; }
    ExtAxisPar& operator[](size_t i) { return axes[i]; }
};

// Motion axis configuration.
struct AxisSetting {
    int32_t axisNo = 0;
    uint8_t dirInvert = 0;
    int32_t pulsesPerTurn = 1000;
    float travelPerTurn = 1.0f;
    float motionValue1 = 0.0f;
    float motionValue2 = 0.0f;
    float motionValue3 = 0.0f;
    int32_t modeFlag = 0;
};

// Motion axis status as read back from the board.
struct AxisState {
    int32_t axisNo = 0;
    uint8_t flag0 = 0;
    uint8_t flag1 = 0;
    uint8_t flag2 = 0;
    uint8_t flag3 = 0;
    uint8_t flag4 = 0;
    uint8_t flag5 = 0;
    uint32_t rawPosition = 0x40000000;
    int32_t position = 0;
};

struct AxisMoveParam {
    int32_t target = 0;
    bool flag = false;
};

struct AxisMoveZeroParam {
    int32_t target = 0;
    bool flag = false;
    int32_t mode = 0;
};

struct AxisLinkageParam {
    float time = 0.0f;
    bool option1 = false;
    bool option2 = false;
    bool option3 = false;
    uint16_t value1 = 0;
    uint16_t value2 = 0;
};

struct AxisStopParam {
    uint16_t values[8] = {};
};

struct AxisConfigParam {
    bool config[4][8] = {};
};

struct AxisEnableParam {
    bool first[8] = {};
    bool second[8] = {};
};

struct AxisClearParam {
    bool clear[8] = {};
};

// One offline document entry.
struct OfflineParam {
    uint32_t m_value = 0;
    uint32_t m_addr = 0;
};

// One calibration grid point: nominal and measured position.
struct CalData {
    float nominalX = 0.0f;
    float nominalY = 0.0f;
    float measuredX = 0.0f;
    float measuredY = 0.0f;
};
