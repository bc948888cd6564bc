#pragma once
// Layout and input widgets of the framework.

#include <QLineEdit>
#include <QScrollArea>
#include <QString>

#include "KZ/BaseWidget.h"

namespace KZ {

class CWidgetList : public CBaseWidget {
    Q_OBJECT
public:
    CWidgetList(Qt::Orientation orientation, QWidget* parent);
    void setMargin(int left, int top, int right, int bottom);
    void setSpacing(int spacing);
    void addFixedWidget(QWidget* widget, int anchor, bool update);
    void addStretchWidget(QWidget* widget, int stretch, int anchor, bool update);
    void addFixedSpace(int size);
};

class CScrollArea : public CEventWidgetT<QScrollArea> {
    Q_OBJECT
public:
    explicit CScrollArea(QWidget* parent);
};

class CSimpleTextWidget : public CBaseWidget {
    Q_OBJECT
public:
    explicit CSimpleTextWidget(QWidget* parent, const QString& text = QString());
};

// The numeric editor of a parameter cell.
class CNumberLineEdit : public QLineEdit {
    Q_OBJECT
public:
    void setNumberFormatFlag(int flags);
    void setValue(double value);
};

class CParameterCell : public CBaseWidget {
    Q_OBJECT
public:
    CParameterCell(int id, const QString& caption, const QString& unitText, QWidget* parent);
    CNumberLineEdit* getEditor() const;
    void setDoubleValidator(const QString& format, double bottom, double top, double increment, bool keepDecimals);
    double toDouble() const;
    void setEditEnable(bool on);
};

class CRadioButtonGroup : public CBaseWidget {
    Q_OBJECT
public:
    CRadioButtonGroup(int columns, int spacing, Qt::Orientation orientation, QWidget* parent);
    void addButton(const QString& text, int id, bool checked);
    void setButtonCheckedByID(int id);
};

} // namespace KZ
