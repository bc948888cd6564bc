#pragma once
// Event delivery between widgets: an event goes up the QObject parent chain to
// the first deliverer whose handleEvent returns true.

#include <QString>
#include <QWidget>
#include <functional>

class QObject;

namespace KZ {

// Event ids raised by the framework's widgets.
enum EEventId {
    EVT_BUTTON_CLICKED = 5,        // sender = button id
    EVT_HEAD_RESULT_CHOSEN = 95,
    EVT_RADIO_CHOSEN = 96,         // sender = radio button id
    EVT_PARAM_CELL_EDITED = 114,   // sender = cell id
    EVT_SIMPLE_TEXT_CLICKED = 224, // sender = delegate id, text = row key
    EVT_LINEEDIT_FINISHED = 226,   // int = delegate id, text = row key, pointer = QString* typed text
    EVT_AUTO_LINEEDIT_CHANGED = 244, // sender = delegate id, text = new text; getLastKey() = row key
    EVT_COMBOX_CHANGED = 268,      // sender = delegate id, text = row key
};

class CEventDeliverer {
public:
    virtual ~CEventDeliverer() = default;
    // Returns true when the event was consumed; the default consumes nothing.
    virtual bool handleEvent(int nEventID, int nSenderID, int nIntParam, QString qsParam, void* pParam);
    // Walks up from deliveryStart() (normally the deliverer's parent); stops at the first
    // handleEvent that returns true, which is the result.
    bool deliverEvent(int nEventID, int nSenderID, int nIntParam, const QString& qsParam, void* pParam);

    // One observer of every delivered event, told where its walk starts before the walk;
    // a host application follows the user's edits with it. Empty: none. UI thread only.
    using Observer = std::function<void(const QObject* start, int nEventID, int nSenderID)>;
    static void setObserver(Observer observer);

protected:
    virtual QObject* deliveryStart() const = 0;
};

// Offers every ancestor deliverer of start, nearest first, the event.
bool deliverEventFrom(QObject* start, int nEventID, int nSenderID, int nIntParam, const QString& qsParam, void* pParam);

template <class T>
class CEventWidgetT : public T, public CEventDeliverer {
public:
    using T::T;
protected:
    QObject* deliveryStart() const override { return T::parent(); }
};

} // namespace KZ
