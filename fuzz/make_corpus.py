#!/usr/bin/env python3
"""Writes the seed corpus of the fuzz harnesses into fuzz/corpus/<harness>/.

The seeds are committed; run this only to change them. Each seed is a small
well-formed input from which the fuzzer reaches the deeper paths sooner: a
whole settings read, a live update and a save for the wheel base and the
pedals, a firmware update through the bootloader, profile files of every
form, bus descriptions and a sysfs tree of a USB wheel base.
"""

import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def crc32_words(data):
    crc = 0xFFFFFFFF
    for i in range(0, len(data) // 4 * 4, 4):
        crc ^= struct.unpack_from("<I", data, i)[0]
        for _ in range(32):
            crc = ((crc << 1) ^ 0x04C11DB7) if crc & 0x80000000 else crc << 1
            crc &= 0xFFFFFFFF
    return crc


def write(harness, name, data):
    folder = os.path.join(HERE, "corpus", harness)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(bytes(data))


# --- fuzz_devices: kind byte, then steps (report: 0x03 + 64 bytes, an answer
# with the kind's version; action: 0x80 + number).

def answer(code, fields=()):
    r = bytearray(64)
    r[1] = code
    for offset, value in fields:
        r[offset] = value
    return bytes([0x03]) + bytes(r)


def record(index, size, name=b"Profile"):
    r = bytearray(size)
    r[0] = index
    r[1:1 + len(name)] = name
    for i in range(17, size):
        r[i] = (i * 7) & 0x7F
    return bytes(r)


def profile_answer(code, index, size):
    r = bytearray(64)
    r[1] = code
    r[3:3 + size] = record(index, size)
    return bytes([0x03]) + bytes(r)


def device_seeds(kind, count_byte, size, extra):
    read = [0x80 + 0, *answer(3, [(count_byte, 3), (count_byte + 1, 1), (4, 2), (6, 3)])]
    for i in range(3):
        read += profile_answer(5, i, size)
    return bytes([kind] + read), extra(read)


def wheel_extra(read):
    s = bytes([0] + read)
    # Edit the current profile; the debounce fires; the update runs.
    s += bytes([0x80 + 11]) + record(1, 54, b"Edited") + bytes([0x80 + 8, 1])
    s += answer(12, [(42, 3), (43, 1)])
    for i in range(3):
        s += answer(13, [(3, i)])
    # Save, add, remove, centre, tests.
    s += bytes([0x80 + 1]) + answer(4, [(42, 3)])
    for i in range(3):
        s += answer(6, [(3, i)])
    s += answer(4, [(42, 0xFF)])
    s += bytes([0x80 + 3, 0x80 + 4, 0x80 + 12]) + answer(7)
    s += bytes([0x80 + 13]) + struct.pack("<f", 0.5) + answer(9)
    return s


def pedals_extra(read):
    s = bytes([1] + read)
    s += bytes([0x80 + 11]) + record(1, 47, b"Edited") + bytes([0x80 + 8, 1])
    s += answer(12, [(10, 3), (11, 1)])
    for i in range(3):
        s += answer(13, [(3, i)])
    # Calibration: read it, start, walk the wizard, save, stop.
    s += bytes([0x80 + 12]) + answer(10) + bytes([0x80 + 14]) + answer(14)
    for raw in (100, 60000, 200, 50000):
        s += bytes([0x80 + 16, 1, 0x80 + 17]) + struct.pack("<I", raw)
    s += bytes([0x80 + 13]) + answer(11) + bytes([0x80 + 15]) + answer(15)
    return s


def firmware_seed():
    image = bytes((i * 13) & 0xFF for i in range(64))
    s = bytes([2, 0x80 + 0]) + answer(3, [(4, 1), (6, 2)])
    s += bytes([0x80 + 3]) + struct.pack("<H", len(image)) + image
    for index in range(2):
        echo = bytearray(64)
        echo[1] = 1
        chunk = image[index * 32:(index + 1) * 32]
        echo[2:34] = chunk
        struct.pack_into("<hhI", echo, 34, index, 2, crc32_words(chunk))
        s += bytes([0x00]) + bytes(echo)
    return s


for name, seeds in (("wheel_base", device_seeds(0, 42, 54, wheel_extra)),
                    ("pedals", device_seeds(1, 10, 47, pedals_extra))):
    write("fuzz_devices", name + "_read", seeds[0])
    write("fuzz_devices", name + "_session", seeds[1])
write("fuzz_devices", "bootloader_update", firmware_seed())

# --- fuzz_profile_files: kind byte (0 wheel base, 1 pedals), then the file.


def current_file(version, rec):
    image = bytearray(struct.pack("<II", version, 0xF0BADEAF) + rec)
    image += bytes((-len(image)) % 4)
    return bytes(image) + struct.pack("<I", crc32_words(image))


def older_file(rec):
    return rec + struct.pack("<I", crc32_words(rec))


write("fuzz_profile_files", "wheel_base_current", b"\x00" + current_file(4, record(2, 54)))
write("fuzz_profile_files", "wheel_base_older", b"\x00" + older_file(record(0, 43)))
write("fuzz_profile_files", "pedals_current", b"\x01" + current_file(2, record(1, 47)))
write("fuzz_profile_files", "pedals_older", b"\x01" + older_file(record(0, 41)))

# --- fuzz_bus_info: STEM.info texts.

write("fuzz_bus_info", "wheel_base",
      b"vendor_id=0x0483\nproduct_id=0xa355\nrelease=0x0100\n"
      b"product=ORV Torvane Pro Wheel Base\nmanufacturer=ORV\nserial=WB1\n"
      b"interface=0\nusage_page=65280\nusage=1\n"
      b"input_report_length=64\noutput_report_length=64\n")
write("fuzz_bus_info", "either_form",
      b"vendor_id=1155\r\nproduct_id=0XA3BE\r\nusage_page=0xff00\r\n"
      b"interface=-1\r\nproduct=Pedals Bootloader \xc3\xa4\r\nfuture_key=1\r\n")

# --- fuzz_hidraw_sysfs: length-prefixed uevent, report_descriptor,
# bInterfaceNumber, product, serial, manufacturer, bcdDevice.


def fields(*values):
    out = b""
    for v in values:
        out += b"\xff" if v is None else bytes([len(v)]) + v
    return out


write("fuzz_hidraw_sysfs", "usb_wheel_base", fields(
    b"DRIVER=hid-generic\nHID_ID=0003:00000483:0000A355\nHID_NAME=ORV Wheel Base\n"
    b"HID_UNIQ=WB1\nMODALIAS=hid:b0003g0001v00000483p0000A355\n",
    bytes.fromhex("0600ff0901a1018501"), b"00\n", b"ORV Torvane Pro Wheel Base\n",
    b"WB1\n", b"ORV\n", b"0210\n"))
write("fuzz_hidraw_sysfs", "bluetooth_no_strings", fields(
    b"HID_ID=0005:00000483:0000A3BE\nHID_NAME=Pedals\n",
    bytes.fromhex("fe0201020305010904"), None, None, None, None, None))
