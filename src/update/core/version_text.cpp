#include "update/core/version_text.h"

#include <locale>
#include <sstream>

namespace pellquin {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

bool ConvertVersionText(const std::string& text, char decimalSeparator, double* value) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsBlank(text[begin])) {
        ++begin;
    }
    while (end > begin && IsBlank(text[end - 1])) {
        --end;
    }
    // Rewritten with a point, then read in the classic locale, so that the process-wide C
    // locale (which Qt sets from the environment) cannot change the result.
    std::string classic;
    size_t i = begin;
    if (i < end && (text[i] == '+' || text[i] == '-')) {
        classic += text[i++];
    }
    size_t digits = 0;
    for (; i < end && IsDigit(text[i]); ++i, ++digits) {
        classic += text[i];
    }
    if (i < end && text[i] == decimalSeparator) {
        classic += '.';
        for (++i; i < end && IsDigit(text[i]); ++i, ++digits) {
            classic += text[i];
        }
    }
    if (digits == 0) {
        return false;
    }
    if (i < end && (text[i] == 'e' || text[i] == 'E')) {
        classic += text[i++];
        if (i < end && (text[i] == '+' || text[i] == '-')) {
            classic += text[i++];
        }
        size_t exponentDigits = 0;
        for (; i < end && IsDigit(text[i]); ++i, ++exponentDigits) {
            classic += text[i];
        }
        if (exponentDigits == 0) {
            return false;
        }
    }
    if (i != end) {
        return false;
    }
    std::istringstream in(classic);
    in.imbue(std::locale::classic());
    double parsed = 0;
    in >> parsed;
    if (in.fail()) {
        return false;
    }
    *value = parsed;
    return true;
}

}  // namespace pellquin
