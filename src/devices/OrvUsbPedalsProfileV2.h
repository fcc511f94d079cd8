#pragma once

#include <QtGlobal>

#include <cstddef>
#include <cstdint>
#include <cstring>

// The record is copied byte for byte to and from the device and profile
// files, both little-endian; a big-endian host would need field swapping.
static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN, "profile records assume a little-endian host");

// One pedals profile, exactly as the device and the profile file hold it.
// Pedal order is clutch, brake, throttle; forces are fractions of 65535.
// Move it to and from byte buffers with memcpy, never through a cast pointer.
#pragma pack(push, 1)
struct OrvUsbPedalsProfileV2
{
    static constexpr uint16_t FullForce = 65535;

    uint8_t index;
    char name[16]; // UTF-8, NUL-terminated when well formed
    uint16_t clutchMaxForce;
    uint16_t brakeMaxForce;
    uint16_t throttleMaxForce;
    uint16_t clutchMinForce;
    uint16_t brakeMinForce;
    uint16_t throttleMinForce;
    uint8_t clutchCurve[6];
    uint8_t brakeCurve[6];
    uint8_t throttleCurve[6];

    // A first profile when the list is empty: linear curves over the full
    // force range. Index and name are set by the list.
    static void applyFirstProfileDefaults(OrvUsbPedalsProfileV2& profile)
    {
        static const uint8_t linear[6] = {0, 20, 40, 60, 80, 100};
        profile.clutchMaxForce = FullForce;
        profile.brakeMaxForce = FullForce;
        profile.throttleMaxForce = FullForce;
        profile.clutchMinForce = 0;
        profile.brakeMinForce = 0;
        profile.throttleMinForce = 0;
        std::memcpy(profile.clutchCurve, linear, sizeof linear);
        std::memcpy(profile.brakeCurve, linear, sizeof linear);
        std::memcpy(profile.throttleCurve, linear, sizeof linear);
    }
};
#pragma pack(pop)

static_assert(sizeof(OrvUsbPedalsProfileV2) == 47, "pedals profile record size");
static_assert(offsetof(OrvUsbPedalsProfileV2, index) == 0, "index");
static_assert(offsetof(OrvUsbPedalsProfileV2, name) == 1, "name");
static_assert(offsetof(OrvUsbPedalsProfileV2, clutchMaxForce) == 17, "clutchMaxForce");
static_assert(offsetof(OrvUsbPedalsProfileV2, brakeMaxForce) == 19, "brakeMaxForce");
static_assert(offsetof(OrvUsbPedalsProfileV2, throttleMaxForce) == 21, "throttleMaxForce");
static_assert(offsetof(OrvUsbPedalsProfileV2, clutchMinForce) == 23, "clutchMinForce");
static_assert(offsetof(OrvUsbPedalsProfileV2, brakeMinForce) == 25, "brakeMinForce");
static_assert(offsetof(OrvUsbPedalsProfileV2, throttleMinForce) == 27, "throttleMinForce");
static_assert(offsetof(OrvUsbPedalsProfileV2, clutchCurve) == 29, "clutchCurve");
static_assert(offsetof(OrvUsbPedalsProfileV2, brakeCurve) == 35, "brakeCurve");
static_assert(offsetof(OrvUsbPedalsProfileV2, throttleCurve) == 41, "throttleCurve");
