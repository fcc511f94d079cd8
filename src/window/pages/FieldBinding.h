#pragma once

// One edit control bound to one field of a profile record: where the field
// lies, how wide it is, and the label that shows its value. Records are
// packed and little-endian, so fields are reached by offset, never through a
// pointer to a packed member.

#include <cstddef>
#include <cstdint>

enum class LabelStyle
{
    None,
    Percent, // "75%"
    Number,  // "7"
};

// The control's signal that its named slot of the window answers.
enum class EditSignal
{
    ValueChanged,        // sliders, spin boxes
    Activated,           // combo boxes changed by the user only
    CurrentIndexChanged, // combo boxes changed by anyone
    Toggled,             // check boxes
    EditingFinished,     // one-decimal spin boxes: the value goes in tenths
};

struct FieldBinding
{
    const char* control; // object name in the form
    EditSignal signal;
    size_t offset; // in the record
    size_t width;  // 1, 2 or 4 bytes
    bool isSigned;
    const char* label; // object name of the value label, or null
    LabelStyle style;
};

// A control's value truncated to the field's width.
inline void storeField(uint8_t* record, const FieldBinding& binding, int value)
{
    const auto bits = uint32_t(value);
    for (size_t i = 0; i < binding.width; ++i)
        record[binding.offset + i] = uint8_t(bits >> (8 * i));
}

// The stored value, sign-extended where the field is signed.
inline int readField(const uint8_t* record, const FieldBinding& binding)
{
    uint32_t bits = 0;
    for (size_t i = 0; i < binding.width; ++i)
        bits |= uint32_t(record[binding.offset + i]) << (8 * i);
    if (binding.isSigned && binding.width < 4) {
        const uint32_t sign = 1u << (8 * binding.width - 1);
        bits = (bits ^ sign) - sign;
    }
    return int(bits);
}
