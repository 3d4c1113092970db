// SPDX-License-Identifier: MIT
#pragma once

#include <QColor>
#include <QFont>
#include <QHash>
#include <QImage>
#include <QPainter>
#include <QPointF>
#include <QStaticText>
#include <QTransform>
#include <QVector>
#include <QWidget>

#include <memory>

namespace camber::ui {

/// Mouse buttons as reported by DrawingSurface; a move reports the held buttons as a bit mask.
enum MouseButton : int { kLeftButton = 1, kRightButton = 2, kMiddleButton = 4 };
/// Modifier keys as reported by DrawingSurface, a bit mask.
enum ShiftKey : int { kShiftKey = 1, kCtrlKey = 2, kAltKey = 4 };

/// A picture on which the windows plot in their own user coordinates.
///
/// The user scale is given by the user coordinates of the top-left and the bottom-right corner;
/// y grows upwards when top > bottom. Everything is drawn into a retained image that paintEvent
/// copies to the screen, so a plot survives being covered. On a resize the image is rebuilt
/// empty at the new size (keeping the user scale) and the owner is expected to redraw.
///
/// Drawing operations may be called on their own, but a plot routine should hold a
/// RetainedDrawing for its whole run: it keeps one painter open for all its lines and texts
/// and schedules one repaint at its end, which keeps redraws during mouse drags cheap.
class DrawingSurface : public QWidget {
    Q_OBJECT
public:
    explicit DrawingSurface(QWidget* parent = nullptr);
    ~DrawingSurface() override;

    /// Sets the user scale from the top-left (x1, y1) and bottom-right (x2, y2) corners.
    /// The corners must differ in both directions.
    void setScale(double x1, double y1, double x2, double y2);
    /// The user position of a pixel position of the surface, and back.
    QPointF toUser(QPointF pixel) const;
    QPointF toPixel(QPointF user) const;
    /// Width and height of the visible area in user units (signed: height is negative with y up).
    double scaleWidth() const { return m_x2 - m_x1; }
    double scaleHeight() const { return m_y2 - m_y1; }

    /// Fills the picture with the background colour; the text position returns to the top-left corner.
    void clear();
    /// Sets the background colour used by clear; it clears the picture.
    void setBackground(const QColor& colour);
    QColor background() const { return m_background; }

    /// Dotted or solid lines and circles from now on.
    void setDotted(bool dotted) { m_dotted = dotted; }
    /// Line width in pixels (1 and more).
    void setPenWidth(int pixels);
    /// Colour of the texts printed from now on.
    void setTextColour(const QColor& colour) { m_textColour = colour; }

    /// A line from (x1, y1) to (x2, y2) in user coordinates.
    void line(double x1, double y1, double x2, double y2, const QColor& colour);
    /// A polyline through points in user coordinates, drawn as one stroke: cheaper than its
    /// segments one by one, and a dotted pattern runs on across the points.
    void polyline(const QVector<QPointF>& points, const QColor& colour);
    /// A circle around (x, y); the radius is in x units, the circle is round on screen.
    void circle(double x, double y, double radius, const QColor& colour);
    /// Places the top-left corner of the next text at (x, y).
    void setTextPosition(double x, double y);
    double textX() const { return m_textX; }
    double textY() const { return m_textY; }
    /// Prints a text at the text position in the text colour; the position then moves to the
    /// start of the next line (the left edge of the picture, one text line lower).
    void print(const QString& text);

    /// The retained image (in device pixels).
    const QImage& image() const;

signals:
    /// A button went down: button is kLeftButton, kRightButton or kMiddleButton, shift the
    /// modifier mask, (x, y) the position in user coordinates.
    void mouseDown(int button, int shift, double x, double y);
    /// The mouse moved: buttons is the mask of the held buttons.
    void mouseMove(int buttons, int shift, double x, double y);
    /// A button went up.
    void mouseUp(int button, int shift, double x, double y);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    friend class RetainedDrawing;
    void ensureImage() const;
    void updateTransform() const;
    const QStaticText& laidOut(const QString& text, const QFont& font);
    QPainter& painter();
    void finishOperation();
    void beginRetained();
    void endRetained();

    double m_x1 = 0, m_y1 = 0, m_x2 = 0, m_y2 = 0;
    bool m_userScale = false;  // until setScale the user units are pixels
    mutable QTransform m_toPixel, m_toUser;
    mutable QSize m_transformSize;
    mutable QImage m_image;
    std::unique_ptr<QPainter> m_painter;
    int m_retainedDepth = 0;
    QColor m_background = Qt::white;
    QColor m_textColour = Qt::black;
    bool m_dotted = false;
    int m_penWidth = 1;
    double m_textX = 0, m_textY = 0;
    QHash<QString, QStaticText> m_texts;  ///< texts printed, laid out in m_textFont
    QFont m_textFont;
};

/// Keeps one painter open on a surface for the lifetime of the object (a plot routine) and
/// repaints the surface once at its end. May be nested.
class RetainedDrawing {
public:
    explicit RetainedDrawing(DrawingSurface& surface) : m_surface(surface) { m_surface.beginRetained(); }
    ~RetainedDrawing() { m_surface.endRetained(); }
    RetainedDrawing(const RetainedDrawing&) = delete;
    RetainedDrawing& operator=(const RetainedDrawing&) = delete;

private:
    DrawingSurface& m_surface;
};

/// The modifier mask (kShiftKey, kCtrlKey, kAltKey) of Qt modifiers.
int shiftMask(Qt::KeyboardModifiers modifiers);

} // namespace camber::ui
