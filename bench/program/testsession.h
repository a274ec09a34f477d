#pragma once

// Runs this benchmark inside tools/test-session (a private Xvfb display, session bus and keyring), so it never
// types into the user's desktop, never meets a program instance already running there and never touches the
// user's keyring. Returns only when already inside (or when re-executing failed, with a message on stderr).
void reexecInsideTestSession(int argc, char **argv);
