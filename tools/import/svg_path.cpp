#include "import/svg_path.h"

#include <cctype>

#include "import/import_error.h"
#include "import/svg_scanner.h"

namespace importer {

using planner::Point;

namespace {

int argumentCount(char upper) {
    switch (upper) {
        case 'M':
        case 'L':
        case 'T':
            return 2;
        case 'H':
        case 'V':
            return 1;
        case 'C':
            return 6;
        case 'S':
        case 'Q':
            return 4;
        case 'A':
            return 7;
        case 'Z':
            return 0;
        default:
            return -1;
    }
}

class PathParser {
public:
    PathParser(const std::string& data, PathSink& sink) : m_scan(data), m_sink(sink) {}

    void run() {
        m_scan.skipSpaces();
        if (m_scan.atEnd()) return;
        char command = 0;
        while (true) {
            m_scan.skipSpaces();
            if (m_scan.atEnd()) return;
            std::size_t start = m_scan.position();
            char c = m_scan.peek();
            if (std::isalpha(static_cast<unsigned char>(c))) {
                m_scan.take();
                command = c;
                if (argumentCount(static_cast<char>(std::toupper(c))) < 0) fail(start, "unknown command");
            } else if (command == 0) {
                fail(start, "path data must start with a move command");
            } else if (command == 'Z' || command == 'z') {
                fail(start, "numbers after a close command");
            }
            if (m_first && command != 'M' && command != 'm') fail(start, "path data must start with a move command");
            m_first = false;
            execute(command, start);
            // A move followed by more pairs draws lines to them.
            if (command == 'M') command = 'L';
            if (command == 'm') command = 'l';
        }
    }

private:
    [[noreturn]] void fail(std::size_t at, const std::string& what) {
        throw ImportError(what + " at " + m_scan.excerpt(at));
    }

    double number() {
        m_scan.skipSeparators();
        double value = 0;
        if (!m_scan.readNumber(value)) fail(m_scan.position(), "expected a number");
        return value;
    }

    bool flag() {
        m_scan.skipSeparators();
        bool value = false;
        if (!m_scan.readFlag(value)) fail(m_scan.position(), "expected an arc flag 0 or 1");
        return value;
    }

    Point point(bool relative) {
        double x = number();
        double y = number();
        return relative ? Point{m_current.x + x, m_current.y + y} : Point{x, y};
    }

    void execute(char command, std::size_t start) {
        bool relative = std::islower(static_cast<unsigned char>(command)) != 0;
        char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(command)));
        // A smooth curve mirrors the previous control point only after a curve of its kind.
        bool afterCubic = m_lastCommand == 'C' || m_lastCommand == 'S';
        bool afterQuad = m_lastCommand == 'Q' || m_lastCommand == 'T';
        Point reflected{2 * m_current.x - m_lastControl.x, 2 * m_current.y - m_lastControl.y};
        switch (upper) {
            case 'M':
                m_current = m_subpathStart = point(relative);
                m_sink.moveTo(m_current);
                break;
            case 'L':
                m_current = point(relative);
                m_sink.lineTo(m_current);
                break;
            case 'H': {
                double x = number();
                m_current.x = relative ? m_current.x + x : x;
                m_sink.lineTo(m_current);
                break;
            }
            case 'V': {
                double y = number();
                m_current.y = relative ? m_current.y + y : y;
                m_sink.lineTo(m_current);
                break;
            }
            case 'C': {
                Point c1 = point(relative), c2 = point(relative), p = point(relative);
                curve(c1, c2, p);
                break;
            }
            case 'S': {
                Point c1 = afterCubic ? reflected : m_current;
                Point c2 = point(relative), p = point(relative);
                curve(c1, c2, p);
                break;
            }
            case 'Q': {
                Point c = point(relative), p = point(relative);
                quad(c, p);
                break;
            }
            case 'T': {
                Point c = afterQuad ? reflected : m_current;
                quad(c, point(relative));
                break;
            }
            case 'A': {
                double rx = number(), ry = number(), rotation = number();
                bool largeArc = flag(), sweep = flag();
                Point p = point(relative);
                m_sink.arcTo(rx, ry, rotation, largeArc, sweep, p);
                m_current = p;
                break;
            }
            case 'Z':
                m_sink.close();
                m_current = m_subpathStart;
                break;
            default:
                fail(start, "unknown command");
        }
        m_lastCommand = upper;
    }

    void curve(Point c1, Point c2, Point p) {
        m_sink.cubicTo(c1, c2, p);
        m_lastControl = c2;
        m_current = p;
    }

    void quad(Point c, Point p) {
        m_sink.quadTo(c, p);
        m_lastControl = c;
        m_current = p;
    }

    SvgScanner m_scan;
    PathSink& m_sink;
    Point m_current;
    Point m_subpathStart;
    Point m_lastControl;
    char m_lastCommand = 0;
    bool m_first = true;
};

}  // namespace

void parsePathData(const std::string& data, PathSink& sink) { PathParser(data, sink).run(); }

}  // namespace importer
