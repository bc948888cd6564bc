#pragma once
// Layout and input widgets of the framework.

#include <QLineEdit>
#include <QList>
#include <QScrollArea>
#include <QString>

#include "KZ/BaseWidget.h"

class QAbstractButton;
class QBoxLayout;
class QButtonGroup;
class QLabel;
class QSpacerItem;

namespace KZ {

// A row or column of widgets; added widgets are reparented into the list.
class CWidgetList : public CBaseWidget {
    Q_OBJECT
public:
    CWidgetList(Qt::Orientation orientation, QWidget* parent);
    void setMargin(int left, int top, int right, int bottom);
    void setSpacing(int spacing);
    // anchor: 1 = start of the cross axis, 2 = centre, 3 = fill the cross axis.
    void addFixedWidget(QWidget* widget, int anchor, bool update);
    void addStretchWidget(QWidget* widget, int stretch, int anchor, bool update);
    void addFixedSpace(int size);
    void addStretchSpace(int stretch = 1);
    int count() const;

private:
    void insertItemWidget(QWidget* widget, int stretch, int anchor);

    QBoxLayout* layout_ = nullptr;      // owned by Qt parent
    // Last item: takes the room that fixed widgets leave, so they pack at the start.
    QSpacerItem* tail_ = nullptr;       // owned by layout_
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
    void setText(const QString& text);
    QString text() const;

private:
    QLabel* label_ = nullptr;           // owned by Qt parent
};

// Numeric editor of a parameter cell; locale-independent ('.' decimal point).
class CNumberLineEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit CNumberLineEdit(QWidget* parent);
    void setRange(double bottom, double top, int decimals);
    void setNumberFormatFlag(int flags);
    void setValue(double value);
    double value() const;              // 0 for a text that is not a number

signals:
    void valueSet();                   // setValue changed the text (not the user)

private:
    double bottom_ = 0.0;
    double top_ = 1.0e300;
    int decimals_ = 4;
    int flags_ = 0;
};

// Caption plus numeric editor; a user change of the value raises 114 with the cell id.
class CParameterCell : public CBaseWidget {
    Q_OBJECT
public:
    CParameterCell(int id, const QString& caption, const QString& unitText, QWidget* parent);
    int id() const { return id_; }
    CNumberLineEdit* getEditor() const { return editor_; }
    void setDoubleValidator(const QString& format, double bottom, double top, double increment, bool keepDecimals);
    double toDouble() const;
    void setEditEnable(bool on);
    bool isEditEnable() const;

private:
    void onEditingFinished();

    int id_;
    QLabel* caption_ = nullptr;         // owned by Qt parent
    CNumberLineEdit* editor_ = nullptr; // owned by Qt parent
    QString lastText_;                  // text after the last setValue or reported edit
    bool userEdited_ = false;
};

// Exclusive radio buttons; a user's choice raises 96 with the button id as sender.
class CRadioButtonGroup : public CBaseWidget {
    Q_OBJECT
public:
    CRadioButtonGroup(int columns, int spacing, Qt::Orientation orientation, QWidget* parent);
    void addButton(const QString& text, int id, bool checked);
    void setButtonCheckedByID(int id);   // raises nothing
    int checkedId() const;
    QAbstractButton* button(int id) const;

private:
    QButtonGroup* group_ = nullptr;     // owned by Qt parent
    QBoxLayout* layout_ = nullptr;      // owned by Qt parent
};

} // namespace KZ
