// The process-wide menu observer: every open menu window registers as a
// receiver, and menu code broadcasts close requests to all of them, the most
// recently opened first. UI thread only.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

namespace ui {

// What a broadcast asks of the open menu windows.
enum ContextMenuKind : int32_t {
    kCloseAllMenus = 1,      // every menu window closes
    kCloseMenusBelow = 2,    // windows with `window` among their ancestors close
};

// A close request; travels by value.
struct ContextMenuParam {
    int32_t kind = 0;
    HWND window = nullptr;
};

class ObserverImpl;

// A receiver of ContextMenuParam records.
class ReceiverImplBase {
public:
    virtual ~ReceiverImplBase() = default;
    virtual void AddObserver(ObserverImpl* observer) = 0;
    virtual void RemoveFromObservers() = 0;
    virtual int Receive(ContextMenuParam param) = 0;
};

// Keeps the observers it is registered with, and leaves them when it goes.
class ReceiverImpl : public ReceiverImplBase {
public:
    ~ReceiverImpl() override { RemoveFromObservers(); }
    // Called by ObserverImpl::AddReceiver.
    void AddObserver(ObserverImpl* observer) override { m_observers.push_back(observer); }
    // Asks every observer it joined to forget it.
    void RemoveFromObservers() override;
    // Nothing; 0.
    int Receive(ContextMenuParam) override { return 0; }

private:
    std::vector<ObserverImpl*> m_observers;  // borrowed
};

class ObserverImpl {
public:
    virtual ~ObserverImpl() = default;
    // Ignores null; appends (borrowed) and tells the receiver.
    virtual void AddReceiver(ReceiverImplBase* receiver)
    {
        if (!receiver)
            return;
        m_receivers.push_back(receiver);
        receiver->AddObserver(this);
    }
    // Removes the first occurrence.
    virtual void RemoveReceiver(ReceiverImplBase* receiver)
    {
        for (auto it = m_receivers.begin(); it != m_receivers.end(); ++it) {
            if (*it == receiver) {
                m_receivers.erase(it);
                return;
            }
        }
    }
    // Receive on every receiver, first to last / last to first. Receivers
    // that leave during the broadcast are not called any more.
    virtual void Broadcast(ContextMenuParam param)
    {
        const std::vector<ReceiverImplBase*> copy = m_receivers;
        for (ReceiverImplBase* r : copy) {
            if (Contains(r))
                r->Receive(param);
        }
    }
    virtual void BroadcastReverse(ContextMenuParam param)
    {
        const std::vector<ReceiverImplBase*> copy = m_receivers;
        for (auto it = copy.rbegin(); it != copy.rend(); ++it) {
            if (Contains(*it))
                (*it)->Receive(param);
        }
    }
    bool Contains(const ReceiverImplBase* receiver) const
    {
        for (const ReceiverImplBase* r : m_receivers) {
            if (r == receiver)
                return true;
        }
        return false;
    }
    int ReceiverCount() const { return static_cast<int>(m_receivers.size()); }

private:
    std::vector<ReceiverImplBase*> m_receivers;  // borrowed
};

inline void ReceiverImpl::RemoveFromObservers()
{
    std::vector<ObserverImpl*> observers;
    observers.swap(m_observers);
    for (ObserverImpl* o : observers)
        o->RemoveReceiver(this);
}

// The one menu observer of the process.
ObserverImpl& MenuObserver();

} // namespace ui
