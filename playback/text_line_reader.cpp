#include "playback/text_line_reader.h"

namespace {

int readTextChar(FILE* file) {
    int c = getc(file);
    if (c != '\r') return c;
    int next = getc(file);
    if (next == '\n') return '\n';
    if (next != EOF) ungetc(next, file);
    return c;
}

}  // namespace

char* readTextLine(char* buffer, int count, FILE* file) {
    if (count <= 0) return nullptr;
    int n = 0;
    while (n < count - 1) {
        int c = readTextChar(file);
        if (c == EOF) break;
        buffer[n++] = static_cast<char>(c);
        if (c == '\n') break;
    }
    buffer[n] = '\0';
    return n == 0 ? nullptr : buffer;
}
