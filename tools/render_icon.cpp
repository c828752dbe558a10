// Writes the program's icon at one size as a PNG file, for the desktop's
// icon theme: render_icon SIZE OUTPUT.png
#include <QImage>

#include <cstdio>
#include <cstdlib>

#include "app/resources/icon.h"

int main(int argc, char** argv) {
    const int size = argc == 3 ? std::atoi(argv[1]) : 0;
    if (size < 16 || size > 1024) {
        std::fprintf(stderr, "usage: render_icon SIZE OUTPUT.png (16 <= SIZE <= 1024)\n");
        return 2;
    }
    std::vector<uint32_t> pixels = drawRadioMastIcon(size);
    QImage image(reinterpret_cast<const uchar*>(pixels.data()), size, size, QImage::Format_ARGB32);
    if (!image.save(QString::fromLocal8Bit(argv[2]), "PNG")) {
        std::fprintf(stderr, "render_icon: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
