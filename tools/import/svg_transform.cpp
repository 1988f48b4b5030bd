#include "import/svg_transform.h"

#include <cctype>
#include <cmath>
#include <vector>

#include "import/import_error.h"
#include "import/svg_scanner.h"

namespace importer {

namespace {

constexpr double kPi = 3.14159265358979323846;

double radians(double degrees) { return degrees * kPi / 180; }

// One transform from its name and arguments; throws on a wrong argument count.
Affine makeTransform(const std::string& name, const std::vector<double>& args, const std::string& where) {
    auto count = args.size();
    auto wrong = [&]() -> Affine {
        throw ImportError("wrong number of arguments to " + name + " in transform at " + where);
    };
    if (name == "matrix") {
        if (count != 6) wrong();
        return {args[0], args[1], args[2], args[3], args[4], args[5]};
    }
    if (name == "translate") {
        if (count != 1 && count != 2) wrong();
        return Affine::translate(args[0], count == 2 ? args[1] : 0);
    }
    if (name == "scale") {
        if (count != 1 && count != 2) wrong();
        return Affine::scale(args[0], count == 2 ? args[1] : args[0]);
    }
    if (name == "rotate") {
        if (count != 1 && count != 3) wrong();
        Affine turn = Affine::rotate(radians(args[0]));
        if (count == 1) return turn;
        return Affine::translate(args[1], args[2]) * turn * Affine::translate(-args[1], -args[2]);
    }
    if (name == "skewX") {
        if (count != 1) wrong();
        return {1, 0, std::tan(radians(args[0])), 1, 0, 0};
    }
    if (name == "skewY") {
        if (count != 1) wrong();
        return {1, std::tan(radians(args[0])), 0, 1, 0, 0};
    }
    throw ImportError("unknown transform " + where);
}

}  // namespace

Affine parseTransform(const std::string& text) {
    SvgScanner scan(text);
    Affine result;
    scan.skipSeparators();
    while (!scan.atEnd()) {
        std::size_t start = scan.position();
        std::string name;
        while (std::isalpha(static_cast<unsigned char>(scan.peek()))) name += scan.take();
        scan.skipSpaces();
        if (name.empty() || scan.take() != '(') throw ImportError("bad transform at " + scan.excerpt(start));
        std::vector<double> args;
        scan.skipSpaces();
        while (scan.peek() != ')') {
            double value = 0;
            if (args.size() >= 6 || !scan.readNumber(value))
                throw ImportError("bad transform at " + scan.excerpt(start));
            args.push_back(value);
            scan.skipSeparators();
        }
        scan.take();
        result = result * makeTransform(name, args, scan.excerpt(start));
        scan.skipSeparators();
    }
    return result;
}

}  // namespace importer
