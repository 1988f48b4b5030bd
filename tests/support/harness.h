
// A harness whose protocol 7 board is connected and marking.
struct Running7 : Harness {
    Running7() { running7(); }
};
