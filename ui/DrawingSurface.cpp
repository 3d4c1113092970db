// SPDX-License-Identifier: MIT
#include "DrawingSurface.h"

#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPolygonF>

#include <cassert>
#include <cmath>

namespace camber::ui {

namespace {

int buttonCode(Qt::MouseButton b)
{
    switch (b) {
    case Qt::LeftButton: return kLeftButton;
    case Qt::RightButton: return kRightButton;
    case Qt::MiddleButton: return kMiddleButton;
    default: return 0;
    }
}

int buttonMask(Qt::MouseButtons buttons)
{
    int mask = 0;
    if (buttons & Qt::LeftButton)
        mask |= kLeftButton;
    if (buttons & Qt::RightButton)
        mask |= kRightButton;
    if (buttons & Qt::MiddleButton)
        mask |= kMiddleButton;
    return mask;
}

} // namespace

int shiftMask(Qt::KeyboardModifiers modifiers)
{
    int mask = 0;
    if (modifiers & Qt::ShiftModifier)
        mask |= kShiftKey;
    if (modifiers & Qt::ControlModifier)
        mask |= kCtrlKey;
    if (modifiers & Qt::AltModifier)
        mask |= kAltKey;
    return mask;
}

DrawingSurface::DrawingSurface(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);  // moves are reported with and without a button held
}

DrawingSurface::~DrawingSurface() = default;

void DrawingSurface::setScale(double x1, double y1, double x2, double y2)
{
    assert(x1 != x2 && y1 != y2);
    m_x1 = x1;
    m_y1 = y1;
    m_x2 = x2;
    m_y2 = y2;
    m_userScale = true;
    m_transformSize = QSize();
}

void DrawingSurface::updateTransform() const
{
    if (m_transformSize == size())
        return;
    m_transformSize = size();
    if (!m_userScale) {
        m_toPixel = QTransform();
        m_toUser = QTransform();
        return;
    }
    // One affine map user -> pixel; the pixel edges 0 and width() are the user corners.
    const double sx = width() / (m_x2 - m_x1);
    const double sy = height() / (m_y2 - m_y1);
    m_toPixel = QTransform(sx, 0, 0, sy, -m_x1 * sx, -m_y1 * sy);
    // A surface without area has no inverse; positions on it then read as the top-left corner.
    m_toUser = m_toPixel.isInvertible() ? m_toPixel.inverted() : QTransform(0, 0, 0, 0, m_x1, m_y1);
}

QPointF DrawingSurface::toUser(QPointF pixel) const
{
    updateTransform();
    return m_toUser.map(pixel);
}

QPointF DrawingSurface::toPixel(QPointF user) const
{
    updateTransform();
    return m_toPixel.map(user);
}

void DrawingSurface::ensureImage() const
{
    const qreal dpr = devicePixelRatioF();
    const QSize device(std::max(1, qRound(width() * dpr)), std::max(1, qRound(height() * dpr)));
    if (m_image.size() == device && m_image.devicePixelRatio() == dpr)
        return;
    m_image = QImage(device, QImage::Format_RGB32);
    m_image.setDevicePixelRatio(dpr);
    m_image.fill(m_background);
}

QPainter& DrawingSurface::painter()
{
    if (!m_painter) {
        ensureImage();
        m_painter = std::make_unique<QPainter>(&m_image);
        m_painter->setFont(font());
    }
    return *m_painter;
}

void DrawingSurface::finishOperation()
{
    if (m_retainedDepth > 0)
        return;
    m_painter.reset();
    update();
}

void DrawingSurface::beginRetained()
{
    if (m_retainedDepth++ == 0)
        painter();
}

void DrawingSurface::endRetained()
{
    assert(m_retainedDepth > 0);
    if (--m_retainedDepth == 0) {
        m_painter.reset();
        update();
    }
}

void DrawingSurface::clear()
{
    if (m_painter)
        m_painter->fillRect(QRectF(QPointF(0, 0), QSizeF(size())), m_background);
    else {
        ensureImage();
        m_image.fill(m_background);
        update();
    }
    m_textX = m_userScale ? m_x1 : 0;
    m_textY = m_userScale ? m_y1 : 0;
}

void DrawingSurface::setBackground(const QColor& colour)
{
    m_background = colour;
    clear();
}

void DrawingSurface::setPenWidth(int pixels)
{
    assert(pixels >= 1);
    m_penWidth = pixels;
}

void DrawingSurface::line(double x1, double y1, double x2, double y2, const QColor& colour)
{
    updateTransform();
    QPainter& p = painter();
    QPen pen(colour, m_penWidth, m_dotted ? Qt::DotLine : Qt::SolidLine);
    pen.setCosmetic(true);
    p.setPen(pen);
    p.drawLine(m_toPixel.map(QPointF(x1, y1)), m_toPixel.map(QPointF(x2, y2)));
    finishOperation();
}

void DrawingSurface::polyline(const QVector<QPointF>& points, const QColor& colour)
{
    updateTransform();
    QPainter& p = painter();
    QPen pen(colour, m_penWidth, m_dotted ? Qt::DotLine : Qt::SolidLine);
    pen.setCosmetic(true);
    p.setPen(pen);
    p.drawPolyline(m_toPixel.map(QPolygonF(points)));
    finishOperation();
}

void DrawingSurface::circle(double x, double y, double radius, const QColor& colour)
{
    updateTransform();
    QPainter& p = painter();
    QPen pen(colour, m_penWidth, m_dotted ? Qt::DotLine : Qt::SolidLine);
    pen.setCosmetic(true);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    const double r = std::abs(radius * m_toPixel.m11());
    p.drawEllipse(m_toPixel.map(QPointF(x, y)), r, r);
    finishOperation();
}

void DrawingSurface::setTextPosition(double x, double y)
{
    m_textX = x;
    m_textY = y;
}

const QStaticText& DrawingSurface::laidOut(const QString& text, const QFont& font)
{
    // Plots print the same scale labels at every redraw; laying a text out costs more than
    // drawing it, so the layouts are kept, and forgotten when the font changes or they pile up.
    constexpr qsizetype kMostKept = 256;
    if (font != m_textFont || m_texts.size() > kMostKept) {
        m_texts.clear();
        m_textFont = font;
    }
    auto found = m_texts.find(text);
    if (found == m_texts.end()) {
        QStaticText laid(text);
        laid.setTextFormat(Qt::PlainText);
        laid.setPerformanceHint(QStaticText::AggressiveCaching);
        laid.prepare(QTransform(), font);
        found = m_texts.insert(text, laid);
    }
    return *found;
}

void DrawingSurface::print(const QString& text)
{
    updateTransform();
    QPainter& p = painter();
    const QFontMetricsF metrics(p.font());
    const QPointF topLeft = m_toPixel.map(QPointF(m_textX, m_textY));
    p.setPen(m_textColour);
    p.drawStaticText(topLeft, laidOut(text, p.font()));
    const QPointF next = m_toUser.map(QPointF(0, topLeft.y() + metrics.height()));
    m_textX = m_userScale ? m_x1 : 0;
    m_textY = next.y();
    finishOperation();
}

const QImage& DrawingSurface::image() const
{
    ensureImage();
    return m_image;
}

void DrawingSurface::paintEvent(QPaintEvent* event)
{
    ensureImage();
    QPainter p(this);
    p.drawImage(event->rect(), m_image, QRectF(QPointF(event->rect().topLeft()) * m_image.devicePixelRatio(),
                                                QSizeF(event->rect().size()) * m_image.devicePixelRatio()));
}

void DrawingSurface::resizeEvent(QResizeEvent* event)
{
    assert(!m_painter);
    ensureImage();
    QWidget::resizeEvent(event);
}

void DrawingSurface::mousePressEvent(QMouseEvent* event)
{
    const QPointF u = toUser(event->position());
    emit mouseDown(buttonCode(event->button()), shiftMask(event->modifiers()), u.x(), u.y());
}

void DrawingSurface::mouseMoveEvent(QMouseEvent* event)
{
    const QPointF u = toUser(event->position());
    emit mouseMove(buttonMask(event->buttons()), shiftMask(event->modifiers()), u.x(), u.y());
}

void DrawingSurface::mouseReleaseEvent(QMouseEvent* event)
{
    const QPointF u = toUser(event->position());
    emit mouseUp(buttonCode(event->button()), shiftMask(event->modifiers()), u.x(), u.y());
}

} // namespace camber::ui
