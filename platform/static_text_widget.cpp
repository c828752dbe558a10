#include "platform/static_text_widget.h"

#include <QPainter>

#include <algorithm>

namespace platform::detail {

namespace {

// Enough for every load text of a few minutes; the size limit keeps long
// titles, which change seldom, out of it.
constexpr size_t kMaxPictures = 32;
constexpr qsizetype kMaxPictureBytes = 8 * 1024;

}  // namespace

void StaticTextWidget::showText(const QString& text) {
    setText(text);
    if (!pictureOf(text)) keepPicture(text);
}

const QImage* StaticTextWidget::pictureOf(const QString& text) {
    const QPalette::ColorGroup colors = palette().currentColorGroup();
    const auto it = std::find_if(pictures_.begin(), pictures_.end(),
                                 [&](const Picture& p) { return p.colors == colors && p.text == text; });
    if (it == pictures_.end()) return nullptr;
    std::rotate(it, it + 1, pictures_.end());
    return &pictures_.back().image;
}

// The label drawn by QLabel itself into a transparent image, outside any
// paint event: render() sends the label a paint event of its own.
void StaticTextWidget::keepPicture(const QString& text) {
    if (text.isEmpty() || size().isEmpty()) return;
    const qreal ratio = devicePixelRatioF();
    QImage image(size() * ratio, QImage::Format_ARGB32_Premultiplied);
    if (image.sizeInBytes() > kMaxPictureBytes) return;
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    drawingPicture_ = true;
    render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
    drawingPicture_ = false;
    if (pictures_.size() == kMaxPictures) pictures_.erase(pictures_.begin());
    pictures_.push_back(Picture{text, palette().currentColorGroup(), std::move(image)});
}

void StaticTextWidget::paintEvent(QPaintEvent* event) {
    const QImage* picture = drawingPicture_ ? nullptr : pictureOf(text());
    if (!picture || picture->devicePixelRatio() != devicePixelRatioF()) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    painter.drawImage(QPoint(0, 0), *picture);
}

// A new font, palette or style draws the texts differently.
void StaticTextWidget::changeEvent(QEvent* event) {
    pictures_.clear();
    QLabel::changeEvent(event);
}

void StaticTextWidget::resizeEvent(QResizeEvent* event) {
    pictures_.clear();
    QLabel::resizeEvent(event);
}

}  // namespace platform::detail
