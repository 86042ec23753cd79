#include "main/icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygon>

namespace vrt::cfg {
namespace {

QPixmap Canvas(int w, int h) {
    QPixmap p(w, h);
    p.fill(Qt::transparent);
    return p;
}

// A sheet of paper with a folded corner.
void Sheet(QPainter& g, QRect r, QColor fill) {
    const int f = r.width() / 3;
    QPolygon poly;
    poly << r.topLeft() << QPoint(r.right() - f, r.top()) << QPoint(r.right(), r.top() + f) << r.bottomRight()
         << r.bottomLeft();
    g.setPen(QPen(QColor(60, 60, 60), 1));
    g.setBrush(fill);
    g.drawPolygon(poly);
}

// A controller: a box with a small display and two lamps.
void Controller(QPainter& g, QRect r) {
    g.setPen(QPen(QColor(40, 40, 40), 1));
    g.setBrush(QColor(90, 110, 140));
    g.drawRoundedRect(r, 2, 2);
    g.setBrush(QColor(170, 230, 170));
    g.drawRect(r.left() + r.width() / 6, r.top() + r.height() / 5, r.width() * 2 / 3, r.height() / 3);
    g.setBrush(QColor(230, 60, 40));
    const int d = qMax(2, r.width() / 8);
    g.drawEllipse(r.left() + r.width() / 6, r.bottom() - r.height() / 4, d, d);
    g.setBrush(QColor(60, 200, 60));
    g.drawEllipse(r.left() + r.width() / 2, r.bottom() - r.height() / 4, d, d);
}

// A tag: a label with a hole.
void Label(QPainter& g, QRect r, QColor fill) {
    QPainterPath path;
    const int tip = r.width() / 3;
    path.moveTo(r.left(), r.center().y());
    path.lineTo(r.left() + tip, r.top());
    path.lineTo(r.right(), r.top());
    path.lineTo(r.right(), r.bottom());
    path.lineTo(r.left() + tip, r.bottom());
    path.closeSubpath();
    g.setPen(QPen(QColor(60, 60, 60), 1));
    g.setBrush(fill);
    g.drawPath(path);
    g.setBrush(Qt::white);
    const int d = qMax(2, r.height() / 4);
    g.drawEllipse(QPoint(r.left() + tip, r.center().y()), d / 2, d / 2);
}

void Badge(QPainter& g, QRect r, const QString& text, QColor color) {
    g.setPen(Qt::NoPen);
    g.setBrush(color);
    g.drawEllipse(r);
    g.setPen(Qt::white);
    QFont f = g.font();
    f.setBold(true);
    f.setPixelSize(qMax(6, r.height() * 3 / 4));
    g.setFont(f);
    g.drawText(r, Qt::AlignCenter, text);
}

void Arrow(QPainter& g, QRect r, bool up, QColor color) {
    QPolygon poly;
    const int cx = r.center().x();
    if (up)
        poly << QPoint(cx, r.top()) << QPoint(r.right(), r.center().y()) << QPoint(cx + r.width() / 6, r.center().y())
             << QPoint(cx + r.width() / 6, r.bottom()) << QPoint(cx - r.width() / 6, r.bottom())
             << QPoint(cx - r.width() / 6, r.center().y()) << QPoint(r.left(), r.center().y());
    else
        poly << QPoint(cx, r.bottom()) << QPoint(r.right(), r.center().y())
             << QPoint(cx + r.width() / 6, r.center().y()) << QPoint(cx + r.width() / 6, r.top())
             << QPoint(cx - r.width() / 6, r.top()) << QPoint(cx - r.width() / 6, r.center().y())
             << QPoint(r.left(), r.center().y());
    g.setPen(QPen(QColor(40, 40, 40), 1));
    g.setBrush(color);
    g.drawPolygon(poly);
}

const QColor kPlus(40, 150, 40), kMinus(200, 40, 40);

}  // namespace

QIcon FileImage(int index) {
    QPixmap p = Canvas(32, 32);
    QPainter g(&p);
    g.setRenderHint(QPainter::Antialiasing);
    switch (index) {
        case 0:
            Sheet(g, QRect(6, 3, 20, 26), Qt::white);
            Badge(g, QRect(16, 16, 14, 14), "+", kPlus);
            break;
        case 1:
            g.setPen(QPen(QColor(120, 90, 20), 1));
            g.setBrush(QColor(240, 200, 80));
            g.drawRect(3, 9, 26, 18);
            g.drawRect(3, 6, 11, 4);
            break;
        case 2:
        case 3:
            g.setPen(QPen(QColor(20, 20, 60), 1));
            g.setBrush(QColor(60, 80, 160));
            g.drawRect(4, 4, 24, 24);
            g.setBrush(Qt::white);
            g.drawRect(9, 4, 14, 9);
            g.setBrush(QColor(200, 200, 200));
            g.drawRect(8, 18, 16, 10);
            if (index == 3) Badge(g, QRect(18, 17, 13, 13), "...", QColor(90, 90, 90));
            break;
        default:
            Sheet(g, QRect(3, 3, 18, 24), QColor(255, 250, 220));
            Arrow(g, QRect(16, 12, 14, 18), false, kPlus);
            break;
    }
    return QIcon(p);
}

QIcon DeviceImage(int index) {
    QPixmap p = Canvas(33, 37);
    QPainter g(&p);
    g.setRenderHint(QPainter::Antialiasing);
    switch (index) {
        case 0:
        case 1:
            Controller(g, QRect(3, 6, 24, 24));
            Badge(g, QRect(18, 20, 14, 14), index == 0 ? "+" : "-", index == 0 ? kPlus : kMinus);
            break;
        case 2:
        case 3:
            Label(g, QRect(2, 9, 26, 16), QColor(250, 220, 120));
            Badge(g, QRect(18, 20, 14, 14), index == 2 ? "+" : "-", index == 2 ? kPlus : kMinus);
            break;
        default:
            Arrow(g, QRect(7, 6, 20, 26), index == 4, QColor(80, 130, 220));
            break;
    }
    return QIcon(p);
}

QIcon TreeImage(int index) {
    if (index < 0 || index > 2) return {};
    QPixmap p = Canvas(24, 24);
    QPainter g(&p);
    g.setRenderHint(QPainter::Antialiasing);
    if (index == 0) {
        Controller(g, QRect(2, 3, 20, 18));
    } else {
        Label(g, QRect(1, 5, 20, 13), index == 1 ? QColor(180, 220, 250) : QColor(250, 190, 120));
        if (index == 2) Badge(g, QRect(13, 12, 11, 11), "W", QColor(200, 90, 20));
    }
    return QIcon(p);
}

QPixmap DevicePicture() {
    QPixmap p = Canvas(16, 16);
    QPainter g(&p);
    Controller(g, QRect(1, 2, 14, 12));
    return p;
}

QPixmap TagPicture() {
    QPixmap p = Canvas(16, 16);
    QPainter g(&p);
    g.setRenderHint(QPainter::Antialiasing);
    Label(g, QRect(1, 4, 14, 9), QColor(250, 220, 120));
    return p;
}

}  // namespace vrt::cfg
