#pragma once

class CliSession;
class ProfileDevice;

// Saves the device's whole list to its permanent store, then reads it back
// and checks every profile, the count and the current index came through.
// Returns the exit code; says what went wrong.
int saveAndVerify(CliSession& session, ProfileDevice& list);
