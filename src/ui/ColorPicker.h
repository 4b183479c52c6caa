#pragma once

// A small focusable control showing one colour in a framed swatch. A click, Enter or Space lets
// the user choose its colour with a colour dialog.

#include "Settings.h"

#include <QColor>
#include <QColorDialog>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <optional>

class TColorPicker : public QWidget {
    Q_OBJECT
public:
    enum TBevelCut { bvNone, bvLowered, bvRaised };
    enum TBorderStyle { bsNone, bsSingle };

    explicit TColorPicker(QWidget* parent = nullptr);

    TColor Color() const { return m_Color; }
    void SetColor(TColor color);

    // The dialog a click runs, shared between pickers; it opens with the last colour it held.
    // Forgotten when the dialog is destroyed. Without one, a fresh dialog opens with the
    // picker's colour.
    QColorDialog* ColorDialog() const { return m_ColorDialog; }
    void SetColorDialog(QColorDialog* dialog) { m_ColorDialog = dialog; }

    TBevelCut BevelOuter() const { return m_BevelOuter; }
    void SetBevelOuter(TBevelCut bevel);
    TBevelCut BevelInner() const { return m_BevelInner; }
    void SetBevelInner(TBevelCut bevel);
    int BevelWidth() const { return m_BevelWidth; }
    void SetBevelWidth(int width);
    int BorderWidth() const { return m_BorderWidth; }
    void SetBorderWidth(int width);
    TBorderStyle BorderStyle() const { return m_BorderStyle; }
    void SetBorderStyle(TBorderStyle style);

    // The rectangle left for the colour after the frames.
    QRect ColorRect() const;

    QSize sizeHint() const override { return QSize(25, 25); }

    // Replaces the colour dialog, for tests: called with the picker's colour, answers the
    // chosen colour or none when cancelled.
    std::function<std::optional<QColor>(QColor)> ChooseColor;

signals:
    // After every click, whether or not a colour was chosen.
    void clicked();
    void colorChanged(TColor color);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Click();
    std::optional<QColor> RunDialog();

    TColor m_Color;
    QPointer<QColorDialog> m_ColorDialog;
    TBevelCut m_BevelOuter = bvLowered;
    TBevelCut m_BevelInner = bvRaised;
    int m_BevelWidth = 1;
    int m_BorderWidth = 0;
    TBorderStyle m_BorderStyle = bsNone;
    bool m_Pressed = false;
};
