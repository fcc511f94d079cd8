#pragma once

// Makes ORV_HID_BACKEND=sim run the simulated wheel base and pedals inside
// this process, on a private bus directory. Call before hid_init.
void installSimulatorBackend();
