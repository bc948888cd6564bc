#pragma once
// Event delivery between widgets.

#include <QString>
#include <QWidget>

namespace KZ {

enum EEventId {
    EVT_BUTTON_CLICKED = 5,
    EVT_HEAD_RESULT_CHOSEN = 95,
    EVT_RADIO_CHOSEN = 96,
    EVT_PARAM_CELL_EDITED = 114,
    EVT_SIMPLE_TEXT_CLICKED = 224,
    EVT_LINEEDIT_FINISHED = 226,
    EVT_AUTO_LINEEDIT_CHANGED = 244,
    EVT_COMBOX_CHANGED = 268,
};

class CEventDeliverer {
public:
    virtual ~CEventDeliverer();
    virtual bool handleEvent(int nEventID, int nSenderID, int nIntParam, QString qsParam, void* pParam);
    bool deliverEvent(int nEventID, int nSenderID, int nIntParam, const QString& qsParam, void* pParam);
};

template <class T>
class CEventWidgetT : public T, public CEventDeliverer {
public:
    using T::T;
};

} // namespace KZ
