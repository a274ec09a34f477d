#pragma once

#include "platform/identityclient.h"

#include <memory>
#include <vector>

// The subscriptions to the identity client's events. Every subscription starts with InitialSession: subscriptions
// made before the hub opens wait for it and get the session it opens with; later ones get the session current when
// they subscribe. Changes published before a subscription has had its InitialSession do not reach it (that
// InitialSession already carries their result).
class AuthEventHub
{
public:
    AuthEventHub() = default;
    AuthEventHub(const AuthEventHub &) = delete;
    AuthEventHub &operator=(const AuthEventHub &) = delete;
    // Ends every subscription.
    ~AuthEventHub();

    bool isOpen() const { return m_open; }
    // A new subscription; `current` is the session of its InitialSession when the hub is already open.
    std::shared_ptr<AuthEventStream> subscribe(const std::optional<AuthSession> &current);
    // Delivers InitialSession with `current` to the waiting subscriptions; later changes reach them all.
    void open(const std::optional<AuthSession> &current);
    // Delivers `change` to every open subscription, in subscription order.
    void publish(const AuthStateChange &change);

private:
    std::vector<std::shared_ptr<AuthEventStream>> m_live;
    std::vector<std::shared_ptr<AuthEventStream>> m_waiting;
    bool m_open = false;
};
