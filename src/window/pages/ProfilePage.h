#pragma once

// A device page that shows one profile of its device's list.
class ProfilePage
{
public:
    virtual ~ProfilePage() = default;
    // Makes slot index current on the device and fills the page from it.
    virtual void showProfile(int index) = 0;
};
