#pragma once

namespace wordloom {

struct ServerContext;

// Inserts the built-in skills that are missing; existing ones are left as they are.
void seedSystemSkills(ServerContext &context);

} // namespace wordloom
