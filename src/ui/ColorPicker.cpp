#include "ColorPicker.h"

#include "UnitThemes.h"

#include <QColorDialog>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

namespace {

// Draws a 3-D frame of the width inside the rectangle and shrinks the rectangle by it.
void DrawFrame(
    QPainter& painter, QRect& rect, int width, const QColor& topLeft, const QColor& bottomRight) {
    for (int i = 0; i < width && rect.width() > 0 && rect.height() > 0; ++i) {
        painter.setPen(topLeft);
        painter.drawLine(rect.left(), rect.top(), rect.right(), rect.top());
        painter.drawLine(rect.left(), rect.top(), rect.left(), rect.bottom());
        painter.setPen(bottomRight);
        painter.drawLine(rect.left() + 1, rect.bottom(), rect.right(), rect.bottom());
        painter.drawLine(rect.right(), rect.top() + 1, rect.right(), rect.bottom());
        rect.adjust(1, 1, -1, -1);
    }
}

} // namespace

TColorPicker::TColorPicker(QWidget* parent)
    : QWidget(parent)
    , m_Color(QColorToColor(palette().color(QPalette::Button))) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(25, 25);
}

void TColorPicker::SetColor(TColor color) {
    color &= 0xFFFFFF;
    if (color == m_Color)
        return;
    m_Color = color;
    update();
    emit colorChanged(color);
}

void TColorPicker::SetBevelOuter(TBevelCut bevel) {
    m_BevelOuter = bevel;
    update();
}

void TColorPicker::SetBevelInner(TBevelCut bevel) {
    m_BevelInner = bevel;
    update();
}

void TColorPicker::SetBevelWidth(int width) {
    m_BevelWidth = qMax(0, width);
    update();
}

void TColorPicker::SetBorderWidth(int width) {
    m_BorderWidth = qMax(0, width);
    update();
}

void TColorPicker::SetBorderStyle(TBorderStyle style) {
    m_BorderStyle = style;
    update();
}

QRect TColorPicker::ColorRect() const {
    QRect rect = this->rect();
    if (m_BorderStyle == bsSingle)
        rect.adjust(2, 2, -2, -2);
    int inset = m_BorderWidth;
    if (m_BevelOuter != bvNone)
        inset += m_BevelWidth;
    if (m_BevelInner != bvNone)
        inset += m_BevelWidth;
    return rect.adjusted(inset, inset, -inset, -inset);
}

void TColorPicker::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QPalette& colours = palette();
    const QColor shadow = colours.color(QPalette::Dark);
    const QColor highlight = colours.color(QPalette::Light);
    const QColor face = colours.color(QPalette::Button);

    QRect rect = this->rect();
    painter.fillRect(rect, face);
    if (m_BorderStyle == bsSingle) {
        // A sunken client edge: two pixels, darker outside.
        DrawFrame(painter, rect, 1, colours.color(QPalette::Mid), highlight);
        DrawFrame(painter, rect, 1, colours.color(QPalette::Shadow), face);
    }
    if (m_BevelOuter != bvNone)
        DrawFrame(painter, rect, m_BevelWidth, m_BevelOuter == bvLowered ? shadow : highlight,
            m_BevelOuter == bvLowered ? highlight : shadow);
    if (m_BorderStyle == bsNone)
        DrawFrame(painter, rect, m_BorderWidth, face, face);
    else
        rect.adjust(m_BorderWidth, m_BorderWidth, -m_BorderWidth, -m_BorderWidth);
    if (m_BevelInner != bvNone)
        DrawFrame(painter, rect, m_BevelWidth, m_BevelInner == bvLowered ? shadow : highlight,
            m_BevelInner == bvLowered ? highlight : shadow);
    if (rect.width() <= 0 || rect.height() <= 0)
        return;
    painter.fillRect(rect, ColorToQColor(m_Color));
    if (hasFocus()) {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.rect = rect.adjusted(1, 1, -1, -1);
        option.backgroundColor = ColorToQColor(m_Color);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }
}

void TColorPicker::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        m_Pressed = true;
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

void TColorPicker::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && m_Pressed) {
        m_Pressed = false;
        event->accept();
        if (rect().contains(event->position().toPoint()))
            Click();
        return;
    }
    QWidget::mouseReleaseEvent(event);
}

void TColorPicker::keyPressEvent(QKeyEvent* event) {
    const bool plain
        = (event->modifiers()
              & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        == 0;
    const int key = event->key();
    if (plain && (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space)) {
        event->accept();
        Click();
        return;
    }
    QWidget::keyPressEvent(event);
}

std::optional<QColor> TColorPicker::RunDialog() {
    if (ChooseColor)
        return ChooseColor(ColorToQColor(m_Color));
    if (m_ColorDialog) {
        if (m_ColorDialog->exec() == QDialog::Accepted && m_ColorDialog)
            return m_ColorDialog->selectedColor();
        return std::nullopt;
    }
    const QColor chosen = QColorDialog::getColor(ColorToQColor(m_Color), this);
    if (!chosen.isValid())
        return std::nullopt;
    return chosen;
}

void TColorPicker::Click() {
    QPointer<TColorPicker> self(this);
    const std::optional<QColor> chosen = RunDialog();
    if (!self)
        return;
    if (chosen && chosen->isValid())
        SetColor(QColorToColor(*chosen));
    emit clicked();
}
