#pragma once

// What the application shell does when an auth link has been handled: close the popover and bring up the
// settings window, whose account tab shows the outcome.
class AuthLinkPresenter
{
public:
    AuthLinkPresenter() = default;
    virtual ~AuthLinkPresenter();
    AuthLinkPresenter(const AuthLinkPresenter &) = delete;
    AuthLinkPresenter &operator=(const AuthLinkPresenter &) = delete;

    virtual void presentAccountAfterAuthLink() = 0;
};
