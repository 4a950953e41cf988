// Draws the tool's brand artwork (welcome image, corner mark, background, window icon) so that
// every image the program shows is made here and can be regenerated at any scale.
// Usage: nomo-artwork OUTPUT_DIR
#include <QApplication>
#include <QBuffer>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace {

const QColor kOrange(0xEA, 0x7E, 0x1D);
const QColor kDeepOrange(0xC9, 0x5F, 0x0C);
const QColor kInk(0x33, 0x3A, 0x44);

// The mark: an orange rounded square holding a camera lens with two Wi-Fi arcs above it.
void drawMark(QPainter &p, const QRectF &box)
{
    const qreal s = box.width();
    QLinearGradient fill(box.topLeft(), box.bottomRight());
    fill.setColorAt(0, kOrange);
    fill.setColorAt(1, kDeepOrange);
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawRoundedRect(box, s * 0.22, s * 0.22);

    const QPointF lens(box.center().x(), box.top() + s * 0.62);
    p.setBrush(Qt::white);
    p.drawEllipse(lens, s * 0.24, s * 0.24);
    p.setBrush(kInk);
    p.drawEllipse(lens, s * 0.15, s * 0.15);
    p.setBrush(QColor(255, 255, 255, 200));
    p.drawEllipse(lens + QPointF(-s * 0.05, -s * 0.05), s * 0.045, s * 0.045);

    QPen arc(Qt::white, s * 0.06, Qt::SolidLine, Qt::RoundCap);
    p.setPen(arc);
    p.setBrush(Qt::NoBrush);
    for (int i = 1; i <= 2; ++i) {
        const qreal r = s * (0.16 + 0.12 * i);
        const QRectF ring(lens.x() - r, lens.y() - r, 2 * r, 2 * r);
        p.drawArc(ring, 60 * 16, 60 * 16);
    }
}

QImage canvas(int w, int h, int scale)
{
    QImage img(w * scale, h * scale, QImage::Format_ARGB32_Premultiplied);
    img.setDevicePixelRatio(scale);
    img.fill(Qt::transparent);
    return img;
}

void wordmark(QPainter &p, const QRectF &area, qreal pointSize, const QString &tagline)
{
    QFont brand(QStringLiteral("Liberation Sans"));
    brand.setPixelSize(qRound(pointSize));
    brand.setBold(true);
    p.setFont(brand);
    p.setPen(kInk);
    QRectF top = area;
    if (!tagline.isEmpty())
        top.setHeight(area.height() * 0.62);
    p.drawText(top, Qt::AlignLeft | (tagline.isEmpty() ? Qt::AlignVCenter : Qt::AlignBottom),
               QStringLiteral("Lumetra"));
    if (tagline.isEmpty())
        return;
    QFont small(QStringLiteral("Liberation Sans"));
    small.setPixelSize(qRound(pointSize * 0.36));
    p.setFont(small);
    p.setPen(kDeepOrange);
    p.drawText(
        QRectF(area.left() + 2, top.bottom() + 2, area.width(), area.height() - top.height()),
        Qt::AlignLeft | Qt::AlignTop, tagline);
}

QImage welcome(int scale)
{
    QImage img = canvas(400, 150, scale);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    drawMark(p, QRectF(40, 25, 100, 100));
    wordmark(p, QRectF(160, 30, 230, 90), 54, QStringLiteral("Nomo camera Wi-Fi setup"));
    return img;
}

QImage cornerMark(int scale)
{
    QImage img = canvas(120, 40, scale);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    drawMark(p, QRectF(2, 4, 32, 32));
    wordmark(p, QRectF(39, 0, 81, 40), 18, QString());
    return img;
}

QImage background(int scale)
{
    QImage img = canvas(400, 250, scale);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient wash(0, 0, 0, 250);
    wash.setColorAt(0, QColor(0xFF, 0xFF, 0xFF));
    wash.setColorAt(1, QColor(0xFD, 0xEF, 0xE2));
    p.fillRect(QRectF(0, 0, 400, 250), wash);
    // Faint signal rings from the lower right corner, far enough from the text to stay quiet.
    for (int i = 1; i <= 5; ++i) {
        p.setPen(QPen(QColor(0xEA, 0x7E, 0x1D, 18 + 4 * i), 6));
        const qreal r = 60.0 * i;
        p.drawEllipse(QPointF(400, 250), r, r);
    }
    return img;
}

QImage icon(int size)
{
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    drawMark(p, QRectF(0, 0, size, size));
    return img;
}

// A Windows icon file holding one PNG-compressed image per size, so that a desktop picks the one
// drawn for the size it shows (Qt's own ICO writer stores a single image).
bool saveIco(const QList<QImage> &images, const QString &path)
{
    QList<QByteArray> pngs;
    for (const QImage &img : images) {
        QByteArray png;
        QBuffer buffer(&png);
        if (!buffer.open(QIODevice::WriteOnly) || !img.save(&buffer, "PNG"))
            return false;
        pngs << png;
    }
    QByteArray ico;
    QDataStream out(&ico, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out << quint16(0) << quint16(1) << quint16(images.size()); // reserved, type icon, count
    quint32 offset = 6 + 16 * quint32(images.size());
    for (int i = 0; i < images.size(); ++i) {
        // Width and height 0 stand for 256.
        out << quint8(images[i].width() & 0xFF) << quint8(images[i].height() & 0xFF) << quint8(0)
            << quint8(0) // no palette, reserved
            << quint16(1) << quint16(32) << quint32(pngs[i].size()) << quint32(offset);
        offset += quint32(pngs[i].size());
    }
    for (const QByteArray &png : std::as_const(pngs))
        out.writeRawData(png.constData(), int(png.size()));
    QFile file(path);
    const bool ok = file.open(QIODevice::WriteOnly) && file.write(ico) == ico.size();
    if (!ok)
        qWarning("could not write %s", qPrintable(path));
    return ok;
}

bool save(const QImage &img, const QString &path)
{
    const bool ok = img.save(path);
    if (!ok)
        qWarning("could not write %s", qPrintable(path));
    return ok;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(out + QStringLiteral("/images"));
    bool ok = true;
    for (int scale : {1, 2}) {
        const QString suffix = scale == 1 ? QString() : QStringLiteral("@2x");
        ok &= save(welcome(scale), out + QStringLiteral("/images/Lumetra%1.png").arg(suffix));
        ok &= save(cornerMark(scale),
                   out + QStringLiteral("/images/Lumetra_small%1.png").arg(suffix));
        ok &= save(background(scale), out + QStringLiteral("/images/bkg%1.png").arg(suffix));
    }
    QList<QImage> icons;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        icons << icon(size);
        ok &= save(icons.last(), out + QStringLiteral("/icons/%1.png").arg(size));
    }
    ok &= saveIco(icons, out + QStringLiteral("/favicon_lm.ico"));
    return ok ? 0 : 1;
}
