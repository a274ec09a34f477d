#pragma once

namespace wordloom {

class Database;

// Brings the schema to the newest version, one numbered step at a time, each in its own transaction.
void migrate(Database &db);

} // namespace wordloom
