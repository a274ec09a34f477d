#pragma once

#include <cstdint>

struct xcb_connection_t;

// The atom named `name` on `connection`'s server, made when missing; XCB_ATOM_NONE (0) when the server gave no reply.
std::uint32_t internAtom(xcb_connection_t *connection, const char *name);
