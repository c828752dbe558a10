#include "report/info_text.h"

#include <cctype>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/code_page.h"

namespace {

// Labels in the program's code page: " IP:   ", " OS:  ", ",  Версия: " and
// " Свободно памяти:  ".
const char kIpLabel[] = " IP:   ";
const char kSystemLabel[] = " OS:  ";
const char kVersionLabel[] = ",  \xC2\xE5\xF0\xF1\xE8\xFF: ";
const char kMemoryLabel[] = " \xD1\xE2\xEE\xE1\xEE\xE4\xED\xEE \xEF\xE0\xEC\xFF\xF2\xE8:  ";

// Each piece is turned to UTF-8 by itself: the window reads the whole report
// as one encoding, and a UTF-8 device or system name beside a Windows-1251
// label would otherwise come out garbled.
void append(std::string& report, const char* piece) {
    report += platform::displayTextUtf8(piece ? piece : kUnknownValue);
}

}  // namespace

int parseKilobytes(const char* text) {
    if (!text) return 0;
    while (isspace(static_cast<unsigned char>(*text))) ++text;
    bool negative = *text == '-';
    if (*text == '-' || *text == '+') ++text;
    long long value = 0;
    for (; isdigit(static_cast<unsigned char>(*text)) && value <= INT_MAX; ++text) value = value * 10 + (*text - '0');
    if (negative) value = -value;
    if (value > INT_MAX) return INT_MAX;
    return value < INT_MIN ? INT_MIN : static_cast<int>(value);
}

void formatFreeMemory(const char* kilobytes, char* text) {
    if (!kilobytes) {
        snprintf(text, kFreeMemoryCapacity, "%s\n\n", kUnknownValue);
        return;
    }
    // 1/1024 is a power of two, so the product is exact; the rounding to the
    // nearest float (ties to even) is what makes 16777219 show as 16384.004.
    float megabytes = static_cast<float>(parseKilobytes(kilobytes) * (1.0 / 1024));
    snprintf(text, kFreeMemoryCapacity, "%.3f Mb\n\n", static_cast<double>(megabytes));
}

void composeInfoReport(char* report, const InfoPieces& pieces) {
    std::string text;
    for (const char* piece :
         {pieces.version, "\n\n", pieces.devices, "\n\n", kIpLabel, pieces.ipAddress, "\n\n", kSystemLabel,
          pieces.systemName, kVersionLabel, pieces.kernel, "\n\n", kMemoryLabel, pieces.freeMemory, pieces.plugins})
        append(text, piece);
    size_t length = text.size();
    if (length >= kInfoReportCapacity) {
        length = kInfoReportCapacity - 1;
        while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) --length;
    }
    memcpy(report, text.data(), length);
    report[length] = '\0';
}
