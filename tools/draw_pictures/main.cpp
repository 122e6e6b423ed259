// draw_pictures: draws the pictures of the dialogs into a folder, as PNG
// files in the sizes and colour depths that the dialogs expect. The PNGs are
// kept in the repository; run scripts/draw-pictures after changing this.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <cstdio>
#include <cstring>
#include <functional>

namespace {

constexpr QRgb kSixteenColours[] = {
    0xff000000, 0xff800000, 0xff008000, 0xff808000, 0xff000080, 0xff800080,
    0xff008080, 0xffc0c0c0, 0xff808080, 0xffff0000, 0xff00ff00, 0xffffff00,
    0xff0000ff, 0xffff00ff, 0xff00ffff, 0xffffffff};

const QColor kNavy(0x1f, 0x3f, 0x8f), kTeal(0x0f, 0x80, 0x80), kOrange(0xe0, 0x80, 0x10);

QImage Draw(int width, int height, const std::function<void(QPainter&)>& paint) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    paint(painter);
    return image;
}

// A version: a small filled circle.
void Version(QPainter& p, QPointF at, const QColor& colour, double radius = 5) {
    p.setPen(QPen(colour.darker(150), 1.2));
    p.setBrush(colour);
    p.drawEllipse(at, radius, radius);
}

void Wizard(QPainter& p) {
    QLinearGradient sky(0, 0, 0, 225);
    sky.setColorAt(0, QColor(0xdc, 0xe8, 0xf8));
    sky.setColorAt(1, QColor(0x9c, 0xb8, 0xe0));
    p.fillRect(0, 0, 150, 225, sky);
    // The integration branch down the left, a private branch to the right.
    p.setPen(QPen(kNavy, 3));
    p.drawLine(40, 18, 40, 210);
    QPainterPath branch;
    branch.moveTo(40, 70);
    branch.cubicTo(70, 75, 100, 85, 105, 110);
    branch.lineTo(105, 178);
    p.setPen(QPen(kOrange, 3));
    p.setBrush(Qt::NoBrush);
    p.drawPath(branch);
    for (int y : {30, 70, 120, 165, 200}) Version(p, {40, double(y)}, kNavy.lighter(140));
    for (int y : {115, 145, 175}) Version(p, {105, double(y)}, kOrange);
    // The branch point, marked.
    p.setPen(QPen(Qt::white, 2));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(40, 70), 9, 9);
    QFont font("DejaVu Sans", 8, QFont::Bold);
    p.setFont(font);
    p.setPen(kNavy.darker(130));
    p.drawText(QRect(48, 24, 100, 14), Qt::AlignLeft, "integration");
    p.setPen(kOrange.darker(140));
    p.drawText(QRect(60, 190, 88, 14), Qt::AlignLeft, "private");
}

// A view (a window with an eye) beside a profile (a folder), chained or not.
void ViewAndProfile(QPainter& p, bool linked) {
    p.fillRect(0, 0, 100, 100, QColor(0xf4, 0xf6, 0xfa));
    p.setPen(QPen(kNavy, 2));
    p.setBrush(QColor(0xe4, 0xec, 0xfa));
    p.drawRoundedRect(QRectF(6, 10, 40, 32), 3, 3);
    p.setBrush(kNavy);
    p.drawEllipse(QPointF(26, 26), 7, 4.5);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(26, 26), 2, 2);
    p.setPen(QPen(kTeal.darker(120), 2));
    p.setBrush(QColor(0xf8, 0xd8, 0x70));
    QPainterPath folder;
    folder.moveTo(54, 62);
    folder.lineTo(54, 92);
    folder.lineTo(94, 92);
    folder.lineTo(94, 66);
    folder.lineTo(74, 66);
    folder.lineTo(70, 62);
    folder.closeSubpath();
    p.drawPath(folder);
    // The chain between them: two links, whole or pulled apart.
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(linked ? kTeal : QColor(0xb0, 0x20, 0x20), 3));
    if (linked) {
        p.drawRoundedRect(QRectF(30, 42, 14, 24), 7, 7);
        p.drawRoundedRect(QRectF(40, 56, 24, 14), 7, 7);
    } else {
        p.drawRoundedRect(QRectF(26, 44, 14, 22), 7, 7);
        p.drawRoundedRect(QRectF(48, 60, 22, 14), 7, 7);
        p.setPen(QPen(QColor(0xb0, 0x20, 0x20), 2));
        p.drawLine(40, 52, 48, 46);
        p.drawLine(44, 70, 50, 78);
    }
}

enum class EState { kReleased, kPressed, kFocused };

// A picture button face: a raised or pressed bevel, the symbol, the caption.
void ButtonFace(QPainter& p, EState state, const char* caption,
                const std::function<void(QPainter&)>& symbol) {
    const QRect face(0, 0, 57, 54);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillRect(face, QColor(0xc0, 0xc0, 0xc0));
    const bool down = state == EState::kPressed;
    const QColor light = down ? QColor(0x80, 0x80, 0x80) : Qt::white;
    const QColor dark = down ? Qt::white : QColor(0x80, 0x80, 0x80);
    p.setPen(Qt::black);
    p.drawRect(face.adjusted(0, 0, -1, -1));
    p.setPen(light);
    p.drawLine(1, 1, 55, 1);
    p.drawLine(1, 1, 1, 52);
    p.setPen(dark);
    p.drawLine(1, 52, 55, 52);
    p.drawLine(55, 1, 55, 52);
    p.translate(down ? 1 : 0, down ? 1 : 0);
    p.setRenderHint(QPainter::Antialiasing, true);
    symbol(p);
    p.setRenderHint(QPainter::Antialiasing, false);
    QFont font("DejaVu Sans", 7);
    font.setPixelSize(10);
    p.setFont(font);
    p.setPen(Qt::black);
    p.drawText(QRect(2, 38, 53, 13), Qt::AlignCenter, caption);
    p.resetTransform();
    if (state == EState::kFocused) {
        p.setPen(QPen(Qt::black, 1, Qt::DotLine));
        p.setBrush(Qt::NoBrush);
        p.drawRect(4, 4, 48, 45);
    }
}

void PublishSymbol(QPainter& p) {
    // A private branch's work flowing back onto the integration line.
    p.setPen(QPen(QColor(0x00, 0x00, 0x80), 3));
    p.drawLine(12, 8, 12, 36);
    p.setPen(QPen(QColor(0x80, 0x00, 0x00), 3));
    QPainterPath arrow;
    arrow.moveTo(42, 8);
    arrow.cubicTo(42, 22, 30, 26, 18, 26);
    p.drawPath(arrow);
    p.setBrush(QColor(0x80, 0x00, 0x00));
    p.setPen(Qt::NoPen);
    p.drawPolygon(QPolygonF({QPointF(14, 26), QPointF(22, 20), QPointF(22, 32)}));
}

void SuspendSymbol(QPainter& p) {
    p.setPen(QPen(QColor(0x00, 0x00, 0x80), 3));
    p.drawLine(12, 8, 12, 36);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x80, 0x00, 0x00));
    p.drawRect(26, 12, 6, 20);
    p.drawRect(37, 12, 6, 20);
}

bool Save(const QImage& image, const QString& folder, const char* name, int colours) {
    QImage indexed =
        colours == 16
            ? image.convertToFormat(QImage::Format_Indexed8,
                                    QList<QRgb>(std::begin(kSixteenColours),
                                                std::end(kSixteenColours)),
                                    Qt::ThresholdDither)
            : image.convertToFormat(QImage::Format_Indexed8, Qt::DiffuseDither);
    const QString path = folder + "/" + name + ".png";
    if (!indexed.save(path, "PNG")) {
        std::fprintf(stderr, "draw_pictures: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::printf("usage: draw_pictures FOLDER\nDraws the dialogs' pictures into FOLDER.\n");
        return 0;
    }
    if (argc != 2) {
        std::fprintf(stderr, "usage: draw_pictures FOLDER\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    const QString folder = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "draw_pictures: cannot make %s\n", argv[1]);
        return 1;
    }
    bool ok = Save(Draw(150, 225, Wizard), folder, "wizard", 256) &&
              Save(Draw(100, 100, [](QPainter& p) { ViewAndProfile(p, true); }), folder,
                   "associate", 256) &&
              Save(Draw(100, 100, [](QPainter& p) { ViewAndProfile(p, false); }), folder,
                   "dissociate", 256);
    const std::pair<const char*, void (*)(QPainter&)> buttons[] = {{"PUBLISH", PublishSymbol},
                                                                   {"SUSPEND", SuspendSymbol}};
    const std::pair<EState, char> states[] = {
        {EState::kReleased, 'U'}, {EState::kPressed, 'D'}, {EState::kFocused, 'F'}};
    for (const auto& [name, symbol] : buttons) {
        const QString caption = QString(name).left(1) + QString(name).mid(1).toLower();
        for (const auto& [state, suffix] : states) {
            const std::string file = std::string(name) + suffix;
            QImage face = Draw(57, 54, [&, state = state, symbol = symbol](QPainter& p) {
                ButtonFace(p, state, qPrintable(caption), symbol);
            });
            ok = Save(face, folder, file.c_str(), 16) && ok;
        }
    }
    return ok ? 0 : 1;
}
