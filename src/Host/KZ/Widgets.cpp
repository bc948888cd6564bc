#include "KZ/Widgets.h"

#include <QBoxLayout>
#include <QButtonGroup>
#include <QDoubleValidator>
#include <QLabel>
#include <QRadioButton>
#include <cmath>

#include "KZ/Format.h"
#include "KZ/UiResource.h"

namespace KZ {

namespace {

Qt::Alignment crossAxisAlignment(Qt::Orientation orientation, int anchor)
{
    const bool horizontal = orientation == Qt::Horizontal;
    switch (anchor) {
    case 1: return horizontal ? Qt::AlignTop : Qt::AlignLeft;
    case 2: return horizontal ? Qt::AlignVCenter : Qt::AlignHCenter;
    default: return Qt::Alignment();   // 3 and anything else: fill the cross axis
    }
}

// Decimals that an increment such as 0.0001 asks for.
int decimalsOfIncrement(double increment)
{
    if (!(increment > 0.0) || increment >= 1.0)
        return increment >= 1.0 ? 0 : 4;
    return std::min(15, static_cast<int>(std::ceil(-std::log10(increment) - 1e-9)));
}

} // namespace

// ---------------------------------------------------------------------------

CWidgetList::CWidgetList(Qt::Orientation orientation, QWidget* parent)
    : CBaseWidget(QString(), false, parent)
{
    const bool horizontal = orientation == Qt::Horizontal;
    layout_ = new QBoxLayout(horizontal ? QBoxLayout::LeftToRight : QBoxLayout::TopToBottom, this);
    layout_->setContentsMargins(0, 0, 0, 0);
    layout_->setSpacing(0);
    tail_ = horizontal ? new QSpacerItem(0, 0, QSizePolicy::Expanding, QSizePolicy::Minimum)
                       : new QSpacerItem(0, 0, QSizePolicy::Minimum, QSizePolicy::Expanding);
    layout_->addItem(tail_);
}

void CWidgetList::setMargin(int left, int top, int right, int bottom)
{
    layout_->setContentsMargins(left, top, right, bottom);
}

void CWidgetList::setSpacing(int spacing)
{
    layout_->setSpacing(spacing);
}

void CWidgetList::addFixedWidget(QWidget* widget, int anchor, bool update)
{
    addStretchWidget(widget, 0, anchor, update);
}

void CWidgetList::addStretchWidget(QWidget* widget, int stretch, int anchor, bool update)
{
    if (widget == nullptr)
        return;
    const bool reparented = widget->parentWidget() != this;
    const bool explicitlyHidden = widget->isHidden() && widget->testAttribute(Qt::WA_WState_ExplicitShowHide);
    insertItemWidget(widget, stretch, anchor);
    // The layout reparents; keep the widget's own shown/hidden choice.
    if (reparented && !explicitlyHidden)
        widget->show();
    if (update)
        layout_->activate();
}

void CWidgetList::insertItemWidget(QWidget* widget, int stretch, int anchor)
{
    const Qt::Orientation orientation =
        layout_->direction() == QBoxLayout::LeftToRight ? Qt::Horizontal : Qt::Vertical;
    layout_->insertWidget(layout_->count() - 1, widget, std::max(0, stretch), crossAxisAlignment(orientation, anchor));
}

void CWidgetList::addFixedSpace(int size)
{
    layout_->insertSpacing(layout_->count() - 1, size);
}

void CWidgetList::addStretchSpace(int stretch)
{
    layout_->insertStretch(layout_->count() - 1, stretch);
}

int CWidgetList::count() const
{
    return layout_->count() - 1;
}

// ---------------------------------------------------------------------------

CScrollArea::CScrollArea(QWidget* parent) : CEventWidgetT<QScrollArea>(parent)
{
    setWidgetResizable(false);   // the content keeps its fixed size and scrolls
    setFrameShape(QFrame::NoFrame);
}

// ---------------------------------------------------------------------------

CSimpleTextWidget::CSimpleTextWidget(QWidget* parent, const QString& text)
    : CBaseWidget(QString(), false, parent)
{
    label_ = new QLabel(text, this);
    label_->setFont(CUiResource::getFont(QStringLiteral("fnt_control_text")));
    label_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setInnerStretchWidget(label_);
}

void CSimpleTextWidget::setText(const QString& text)
{
    label_->setText(text);
}

QString CSimpleTextWidget::text() const
{
    return label_->text();
}

// ---------------------------------------------------------------------------

CNumberLineEdit::CNumberLineEdit(QWidget* parent) : QLineEdit(parent)
{
    setFont(CUiResource::getFont(QStringLiteral("fnt_control_text")));
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setRange(bottom_, top_, decimals_);
}

void CNumberLineEdit::setRange(double bottom, double top, int decimals)
{
    bottom_ = bottom;
    top_ = top;
    decimals_ = decimals;
    auto* validator = new QDoubleValidator(bottom, top, decimals, this);
    validator->setLocale(QLocale::c());
    validator->setNotation(QDoubleValidator::StandardNotation);
    const QValidator* previous = this->validator();
    setValidator(validator);
    if (previous != nullptr && previous->parent() == this)
        const_cast<QValidator*>(previous)->deleteLater();
}

void CNumberLineEdit::setNumberFormatFlag(int flags)
{
    flags_ = flags;
}

void CNumberLineEdit::setValue(double value)
{
    setText(formatDoubleNumber(value, decimals_, flags_, false, QString()));
    emit valueSet();
}

double CNumberLineEdit::value() const
{
    QString digits = text();
    digits.remove(QLatin1Char(','));
    return parseDouble(qsToS(digits.trimmed()));
}

// ---------------------------------------------------------------------------

CParameterCell::CParameterCell(int id, const QString& caption, const QString& unitText, QWidget* parent)
    : CBaseWidget(QString(), false, parent), id_(id)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    caption_ = new QLabel(caption, this);
    caption_->setFont(CUiResource::getFont(QStringLiteral("fnt_control_text")));
    caption_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    editor_ = new CNumberLineEdit(this);
    layout->addWidget(caption_);
    layout->addWidget(editor_, 1);
    if (!unitText.isEmpty())
        layout->addWidget(new QLabel(unitText, this));

    connect(editor_, &QLineEdit::textEdited, this, [this]() { userEdited_ = true; });
    connect(editor_, &CNumberLineEdit::valueSet, this, [this]() {
        userEdited_ = false;
        lastText_ = editor_->text();
    });
    connect(editor_, &QLineEdit::editingFinished, this, &CParameterCell::onEditingFinished);
}

void CParameterCell::setDoubleValidator(const QString& /*format*/, double bottom, double top, double increment,
                                        bool /*keepDecimals*/)
{
    editor_->setRange(bottom, top, decimalsOfIncrement(increment));
}

double CParameterCell::toDouble() const
{
    return editor_->value();
}

void CParameterCell::setEditEnable(bool on)
{
    editor_->setReadOnly(!on);
}

bool CParameterCell::isEditEnable() const
{
    return !editor_->isReadOnly();
}

void CParameterCell::onEditingFinished()
{
    const QString text = editor_->text();
    const bool changed = userEdited_ && text != lastText_;
    userEdited_ = false;
    lastText_ = text;
    if (changed)
        deliverEvent(EVT_PARAM_CELL_EDITED, id_, 0, text, nullptr);
}

// ---------------------------------------------------------------------------

CRadioButtonGroup::CRadioButtonGroup(int /*columns*/, int spacing, Qt::Orientation orientation, QWidget* parent)
    : CBaseWidget(QString(), false, parent)
{
    group_ = new QButtonGroup(this);
    group_->setExclusive(true);
    layout_ = new QBoxLayout(orientation == Qt::Horizontal ? QBoxLayout::LeftToRight : QBoxLayout::TopToBottom, this);
    layout_->setContentsMargins(0, 0, 0, 0);
    layout_->setSpacing(std::max(0, spacing));
    setStyleSheet(QStringLiteral("QRadioButton { spacing: 2px; }"));   // two choices fit a narrow strip
    // buttonClicked comes only from the user (or click()), never from setChecked.
    connect(group_, &QButtonGroup::idClicked, this,
            [this](int id) { deliverEvent(EVT_RADIO_CHOSEN, id, 0, QString(), nullptr); });
}

void CRadioButtonGroup::addButton(const QString& text, int id, bool checked)
{
    auto* button = new QRadioButton(text, this);
    button->setFont(CUiResource::getFont(QStringLiteral("fnt_control_text")));
    group_->addButton(button, id);
    layout_->addWidget(button);
    button->setChecked(checked);
}

void CRadioButtonGroup::setButtonCheckedByID(int id)
{
    if (QAbstractButton* target = group_->button(id))
        target->setChecked(true);
}

int CRadioButtonGroup::checkedId() const
{
    return group_->checkedId();
}

QAbstractButton* CRadioButtonGroup::button(int id) const
{
    return group_->button(id);
}

} // namespace KZ
