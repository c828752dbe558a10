// The widget of a static text control.
#pragma once

#include <QImage>
#include <QLabel>
#include <QString>

#include <vector>

namespace platform::detail {

// A label that keeps the pictures of the short texts it showed last. The
// load text is rewritten 20 times a second and mostly comes back to a value
// it showed a moment ago; drawing a kept picture costs a small part of
// laying the text out and drawing its glyphs again.
class StaticTextWidget final : public QLabel {
public:
    explicit StaticTextWidget(QWidget* parent) : QLabel(parent) {}

    // Dialog's thread: shows text, from a kept picture when there is one.
    void showText(const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    struct Picture {
        QString text;
        QPalette::ColorGroup colors;  // active, inactive or disabled window
        QImage image;
    };

    const QImage* pictureOf(const QString& text);
    void keepPicture(const QString& text);

    std::vector<Picture> pictures_;  // the most recently used last
    bool drawingPicture_ = false;
};

}  // namespace platform::detail
