#include "storage/migrations.h"

#include "storage/database.h"

#include <string>

namespace wordloom {

namespace {

struct Migration
{
    int version;
    const char *sql;
};

// Append new steps at the end; never edit a step that has shipped.
constexpr Migration kMigrations[] = {
    {1, R"sql(
CREATE TABLE server_settings (
    key TEXT PRIMARY KEY,
    value TEXT NOT NULL
);
CREATE TABLE users (
    id TEXT PRIMARY KEY,
    email TEXT NOT NULL UNIQUE,
    password_hash TEXT,
    user_metadata TEXT NOT NULL DEFAULT '{}',
    provider TEXT NOT NULL DEFAULT 'email',
    email_confirmed_at TEXT,
    confirmation_sent_at TEXT,
    recovery_sent_at TEXT,
    last_sign_in_at TEXT,
    created_at TEXT NOT NULL,
    updated_at TEXT NOT NULL
);
CREATE TABLE profiles (
    user_id TEXT PRIMARY KEY REFERENCES users(id) ON DELETE CASCADE,
    full_name TEXT,
    avatar_url TEXT,
    locale TEXT,
    user_instructions TEXT,
    total_credits INTEGER NOT NULL,
    used_credits INTEGER NOT NULL DEFAULT 0 CHECK (used_credits >= 0),
    created_at TEXT NOT NULL,
    updated_at TEXT NOT NULL,
    CHECK (used_credits <= total_credits)
);
CREATE TABLE sessions (
    id TEXT PRIMARY KEY,
    user_id TEXT NOT NULL REFERENCES users(id) ON DELETE CASCADE,
    amr_method TEXT NOT NULL,
    amr_time INTEGER NOT NULL,
    created_at TEXT NOT NULL
);
CREATE INDEX sessions_user ON sessions(user_id);
CREATE TABLE refresh_tokens (
    token_hash TEXT PRIMARY KEY,
    session_id TEXT NOT NULL REFERENCES sessions(id) ON DELETE CASCADE,
    parent_hash TEXT,
    revoked_at INTEGER,
    created_at INTEGER NOT NULL
);
CREATE INDEX refresh_tokens_session ON refresh_tokens(session_id);
CREATE TABLE one_time_tokens (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    user_id TEXT NOT NULL REFERENCES users(id) ON DELETE CASCADE,
    kind TEXT NOT NULL,
    token_hash TEXT NOT NULL,
    flow_id TEXT,
    created_at INTEGER NOT NULL
);
CREATE INDEX one_time_tokens_hash ON one_time_tokens(token_hash);
CREATE TABLE flow_states (
    id TEXT PRIMARY KEY,
    auth_code TEXT NOT NULL UNIQUE,
    user_id TEXT REFERENCES users(id) ON DELETE CASCADE,
    kind TEXT NOT NULL,
    provider TEXT NOT NULL,
    code_challenge TEXT NOT NULL,
    code_challenge_method TEXT NOT NULL,
    redirect_to TEXT NOT NULL,
    created_at INTEGER NOT NULL
);
CREATE TABLE mailbox (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    email TEXT NOT NULL,
    kind TEXT NOT NULL,
    subject TEXT NOT NULL,
    code TEXT NOT NULL,
    token_hash TEXT NOT NULL,
    link TEXT NOT NULL,
    redirect_to TEXT NOT NULL,
    sent_at TEXT NOT NULL,
    sent_epoch INTEGER NOT NULL
);
CREATE INDEX mailbox_email ON mailbox(email, sent_epoch);
CREATE TABLE skills (
    id TEXT PRIMARY KEY,
    user_id TEXT REFERENCES users(id) ON DELETE CASCADE,
    name TEXT NOT NULL,
    slug TEXT NOT NULL,
    description TEXT NOT NULL,
    category TEXT NOT NULL,
    content TEXT NOT NULL,
    is_active INTEGER NOT NULL,
    author TEXT NOT NULL,
    version TEXT NOT NULL,
    created_at TEXT NOT NULL,
    updated_at TEXT NOT NULL
);
CREATE UNIQUE INDEX skills_user_slug ON skills(IFNULL(user_id, ''), slug);
CREATE TABLE history (
    id TEXT PRIMARY KEY,
    seq INTEGER NOT NULL,
    user_id TEXT NOT NULL REFERENCES users(id) ON DELETE CASCADE,
    input_text TEXT NOT NULL,
    output_text TEXT NOT NULL,
    tokens_used INTEGER NOT NULL,
    skill_name TEXT,
    skill_slug TEXT,
    target_model TEXT,
    created_at TEXT NOT NULL
);
CREATE INDEX history_user ON history(user_id, seq);
CREATE TABLE favorites (
    id TEXT PRIMARY KEY,
    user_id TEXT NOT NULL REFERENCES users(id) ON DELETE CASCADE,
    history_id TEXT NOT NULL REFERENCES history(id) ON DELETE CASCADE,
    created_at TEXT NOT NULL,
    seq INTEGER NOT NULL,
    UNIQUE (user_id, history_id)
);
)sql"},
};

} // namespace

void migrate(Database &db)
{
    for (const auto &migration : kMigrations) {
        Transaction transaction(db);
        if (db.schemaVersion() >= migration.version) {
            continue;
        }
        db.exec(migration.sql);
        db.exec("PRAGMA user_version = " + std::to_string(migration.version));
        transaction.commit();
    }
}

} // namespace wordloom
