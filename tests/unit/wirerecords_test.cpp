#include "backend/wire/decodingerror.h"
#include "backend/wire/errorresponse.h"
#include "backend/wire/historyrecords.h"
#include "backend/wire/profilerecords.h"
#include "backend/wire/promptrecords.h"
#include "backend/wire/skillrecords.h"
#include "backend/wire/usagerecords.h"

#include <QJsonDocument>

#include <functional>
#include <gtest/gtest.h>

namespace {

template <typename Record>
Record decode(const QByteArray &body)
{
    return Record::decode(JsonReader(parseConvertedObject(body)));
}

QJsonObject object(const char *json)
{
    return QJsonDocument::fromJson(json).object();
}

const QByteArray fullPrompt = R"({"original_text":"fix bug","improved_text":"Fix the bug in…","skill_used":"code",
    "skill_name":"Code","tokens_used":42,"credits_remaining":97,"target_model":"claude","extra":{"x_y":1}})";

TEST(WireDecoding, FullPromptResponse)
{
    const auto response = decode<PromptResponse>(fullPrompt);

    EXPECT_EQ(response,
              (PromptResponse{QStringLiteral("fix bug"), QStringLiteral("Fix the bug in…"), QStringLiteral("code"),
                              QStringLiteral("Code"), 42, 97, QStringLiteral("claude")}));
}

TEST(WireDecoding, NestedListsDecodeEveryRow)
{
    const auto skills = decode<SkillsListResponse>(R"({"skills":[
        {"id":"1","name":"Code","slug":"code","description":"d","category":"dev","is_active":true,"is_system":true},
        {"id":"2","name":"Mine","slug":"mine","description":"","category":"text","is_active":false,"is_system":false}],
        "total":2,"system_count":1,"user_count":1})");
    ASSERT_EQ(skills.skills.size(), 2);
    EXPECT_TRUE(skills.skills.at(0).isSystem);
    EXPECT_EQ(skills.skills.at(1).slug, QStringLiteral("mine"));
    EXPECT_EQ(skills.userCount, 1);

    const auto favorites = decode<FavoritesResponse>(R"({"favorites":[{"id":"f","user_id":"u","history_id":"h",
        "created_at":"2025-01-05T14:03:00Z","input_text":"a","output_text":"b","tokens_used":1,
        "history_created_at":null}],"total":1,"limit":50,"offset":0})");
    ASSERT_EQ(favorites.favorites.size(), 1);
    EXPECT_EQ(favorites.favorites.at(0).historyId, QStringLiteral("h"));
    EXPECT_FALSE(favorites.favorites.at(0).historyCreatedAt);
    EXPECT_FALSE(favorites.favorites.at(0).skillName);
}

TEST(WireDecoding, OptionalFieldsMayBeNullOrMissing)
{
    const auto withNulls = decode<User>(R"({"id":"u1","email":"a@b.c","full_name":null,"avatar_url":null,
        "locale":null,"user_instructions":null})");
    const auto withoutKeys = decode<User>(R"({"id":"u1","email":"a@b.c"})");

    EXPECT_EQ(withNulls, withoutKeys);
    EXPECT_FALSE(withNulls.fullName);
    EXPECT_FALSE(withNulls.userInstructions);

    const auto profile = decode<ProfileResponse>(R"({"id":"u1","email":"a@b.c","user_instructions":"Be brief",
        "created_at":"2025-01-01T00:00:00Z"})");
    EXPECT_EQ(profile.user.userInstructions, QStringLiteral("Be brief"));
    EXPECT_EQ(profile.createdAt, QStringLiteral("2025-01-01T00:00:00Z"));
}

TEST(WireDecoding, CamelCaseKeysAreAcceptedLikeSnakeCase)
{
    const QByteArray snake = R"({"id":"h","user_id":"u","input_text":"i","output_text":"o","tokens_used":3,
        "created_at":"2025-01-05T14:03:00Z","is_favorited":true})";
    const QByteArray camel = R"({"id":"h","userId":"u","inputText":"i","outputText":"o","tokensUsed":3,
        "createdAt":"2025-01-05T14:03:00Z","isFavorited":true})";

    EXPECT_EQ(decode<HistoryItem>(snake), decode<HistoryItem>(camel));
    EXPECT_EQ(decode<HistoryItem>(camel).isFavorited, true);
}

TEST(WireDecoding, NumbersFollowTheIntegerAndFloatRules)
{
    const auto credits = decode<CreditsResponse>(
        R"({"total_credits":100.0,"used_credits":-1,"remaining_credits":9007199254740993,"subscription_credits":0})");
    EXPECT_EQ(credits.totalCredits, 100);
    EXPECT_EQ(credits.usedCredits, -1);
    EXPECT_EQ(credits.remainingCredits, 9007199254740993LL);
    EXPECT_FALSE(credits.resetAt);

    const auto transcript =
        decode<TranscriptionResponse>(R"({"text":"hi","duration_seconds":2,"credits_remaining":5})");
    EXPECT_EQ(transcript.durationSeconds, 2.0);
}

struct DecodingFailure
{
    const char *name;
    std::function<void(const QByteArray &)> decoder;
    QByteArray body;
    QString fieldPath; // empty: the body as a whole
};

class WireDecodingFailure : public ::testing::TestWithParam<DecodingFailure>
{};

TEST_P(WireDecodingFailure, NamesTheFieldThatBrokeTheAnswer)
{
    try {
        GetParam().decoder(GetParam().body);
        FAIL() << "decoded although it should not";
    } catch (const DecodingError &error) {
        EXPECT_EQ(error.fieldPath(), GetParam().fieldPath) << error.what();
    }
}

void PrintTo(const DecodingFailure &row, std::ostream *out)
{
    *out << row.name;
}

const auto promptDecoder = [](const QByteArray &body) { decode<PromptResponse>(body); };
const QByteArray promptWithout = R"({"original_text":"a","improved_text":"b","skill_used":"c","skill_name":"d",
    "credits_remaining":1)";

INSTANTIATE_TEST_SUITE_P(
    Failures, WireDecodingFailure,
    ::testing::Values(
        DecodingFailure{"required_missing", promptDecoder, promptWithout + "}", QStringLiteral("tokensUsed")},
        DecodingFailure{"required_null", promptDecoder, promptWithout + R"(,"tokens_used":null})",
                        QStringLiteral("tokensUsed")},
        DecodingFailure{"integer_as_string", promptDecoder, promptWithout + R"(,"tokens_used":"3"})",
                        QStringLiteral("tokensUsed")},
        DecodingFailure{"integer_with_fraction", promptDecoder, promptWithout + R"(,"tokens_used":3.5})",
                        QStringLiteral("tokensUsed")},
        DecodingFailure{"integer_beyond_64_bits", promptDecoder, promptWithout + R"(,"tokens_used":1e20})",
                        QStringLiteral("tokensUsed")},
        DecodingFailure{"optional_of_wrong_type", promptDecoder,
                        promptWithout + R"(,"tokens_used":1,"target_model":5})", QStringLiteral("targetModel")},
        DecodingFailure{"row_of_a_list", [](const QByteArray &b) { decode<SkillsListResponse>(b); },
                        R"({"skills":[{"id":"1","name":"n","slug":"s","description":"d","category":"c",
                            "is_active":true,"is_system":true},{"id":"2","name":"n","slug":"s","description":"d",
                            "category":"c","is_active":true}],"total":2,"system_count":1,"user_count":1})",
                        QStringLiteral("skills[1].isSystem")},
        DecodingFailure{"list_that_is_no_list", [](const QByteArray &b) { decode<HistoryResponse>(b); },
                        R"({"history":{},"limit":50,"offset":0})", QStringLiteral("history")},
        DecodingFailure{"boolean_as_number", [](const QByteArray &b) { decode<Skill>(b); },
                        R"({"id":"1","name":"n","slug":"s","description":"d","category":"c","is_active":1,
                            "content":"t","author":"a","version":"1","created_at":"x","updated_at":"y"})",
                        QStringLiteral("isActive")},
        DecodingFailure{"number_as_string", [](const QByteArray &b) { decode<TranscriptionResponse>(b); },
                        R"({"text":"t","duration_seconds":"1.5","credits_remaining":1})",
                        QStringLiteral("durationSeconds")},
        DecodingFailure{"user_without_email", [](const QByteArray &b) { decode<User>(b); }, R"({"id":"u"})",
                        QStringLiteral("email")},
        DecodingFailure{"delete_without_message", [](const QByteArray &b) { decode<DeleteResponse>(b); },
                        R"({"deleted_count":2})", QStringLiteral("message")},
        DecodingFailure{"body_is_an_array", [](const QByteArray &b) { decode<TargetModelsResponse>(b); }, "[]", {}},
        DecodingFailure{"body_is_not_json", [](const QByteArray &b) { decode<CreditsResponse>(b); }, "<html>", {}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(WireKeys, SnakeCaseBecomesCamelCase)
{
    const QList<QPair<const char *, const char *>> rows = {
        {"original_text", "originalText"},
        {"avatar_url", "avatarUrl"},
        {"isFavorited", "isFavorited"},
        {"id", "id"},
        {"_private_key", "_privateKey"},
        {"trailing_", "trailing_"},
        {"double__gap", "doubleGap"},
        {"ALL_CAPS_KEY", "allCapsKey"},
        {"__", "__"},
    };
    for (const auto &[snake, camel] : rows) {
        EXPECT_EQ(camelCaseKey(QString::fromLatin1(snake)), QString::fromLatin1(camel)) << snake;
    }
}

TEST(WireEncoding, RequestBodiesCarryExactlyTheirKeys)
{
    const QList<QPair<QJsonObject, QJsonObject>> rows = {
        {PromptRequest{.text = QStringLiteral("t"), .autoDetect = true}.toJson(),
         object(R"({"text":"t","auto_detect":true,"stream":false})")},
        {PromptRequest{QStringLiteral("t"), QStringLiteral("code"), false, false, QStringLiteral("midjourney")}
             .toJson(),
         object(R"({"text":"t","skill_slug":"code","auto_detect":false,"stream":false,"target_model":"midjourney"})")},
        {SkillCreateRequest{QStringLiteral("N"), QStringLiteral("n"), QStringLiteral("d"), QStringLiteral("c"),
                            QStringLiteral("body"), true}
             .toJson(),
         object(R"({"name":"N","slug":"n","description":"d","category":"c","content":"body","is_active":true})")},
        {SkillUpdateRequest{.isActive = false}.toJson(), object(R"({"is_active":false})")},
        {SkillUpdateRequest{}.toJson(), object("{}")},
        {ProfileUpdateRequest{}.toJson(), object("{}")},
        {ProfileUpdateRequest{.userInstructions = QString()}.toJson(), object(R"({"user_instructions":""})")},
        {ProfileUpdateRequest{.fullName = QStringLiteral("Ada")}.toJson(), object(R"({"full_name":"Ada"})")},
        {FavoriteCreateRequest{QStringLiteral("h1")}.toJson(), object(R"({"history_id":"h1"})")},
        {BulkDeleteRequest{}.toJson(), object(R"({"ids":[]})")},
        {BulkDeleteRequest{{QStringLiteral("a"), QStringLiteral("b")}}.toJson(), object(R"({"ids":["a","b"]})")},
    };
    for (qsizetype i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows.at(i).first, rows.at(i).second)
            << "row " << i << ": " << QJsonDocument(rows.at(i).first).toJson().constData();
    }
}

TEST(WireErrorBody, OnlyAStringDetailDecodes)
{
    EXPECT_EQ(ErrorResponse::decode(R"({"detail":"Skill not found","code":7})")->detail,
              QStringLiteral("Skill not found"));
    EXPECT_FALSE(ErrorResponse::decode(R"({"detail":[{"loc":["body"],"msg":"field required"}]})"));
    EXPECT_FALSE(ErrorResponse::decode(R"({"message":"x"})"));
    EXPECT_FALSE(ErrorResponse::decode(R"(["detail"])"));
    EXPECT_FALSE(ErrorResponse::decode("Internal Server Error"));
}

TEST(FormattedDate, ReadableWithOrWithoutFractionalSecondsElseUnchanged)
{
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    const QTimeZone utc = QTimeZone::utc();
    HistoryItem item;

    const QList<QPair<const char *, const char *>> rows = {
        {"2025-01-05T14:03:00.123Z", "Jan 5, 2025, 2:03 PM"},
        {"2025-01-05T14:03:00Z", "Jan 5, 2025, 2:03 PM"},
        {"2025-01-05T16:03:00+02:00", "Jan 5, 2025, 2:03 PM"},
        {"2025-01-05T14:03:00", "2025-01-05T14:03:00"},
        {"2025-01-05 14:03:00Z", "2025-01-05 14:03:00Z"},
        {"yesterday", "yesterday"},
        {"", ""},
    };
    for (const auto &[createdAt, expected] : rows) {
        item.createdAt = QString::fromLatin1(createdAt);
        EXPECT_EQ(item.formattedDate(english, utc), QString::fromLatin1(expected)) << createdAt;
    }

    item.createdAt = QStringLiteral("2025-01-05T14:03:00Z");
    const QString german = item.formattedDate(QLocale(QLocale::German, QLocale::Germany), utc);
    EXPECT_TRUE(german.startsWith(QStringLiteral("5. Jan"))) << german.toStdString();
    EXPECT_TRUE(german.endsWith(QStringLiteral("2025, 14:03"))) << german.toStdString();
}

TEST(FormattedDate, FavouriteShowsWhenItWasMarked)
{
    FavoriteItem favorite;
    favorite.createdAt = QStringLiteral("2025-03-01T09:30:00Z");
    favorite.historyCreatedAt = QStringLiteral("2025-01-05T14:03:00Z");

    EXPECT_EQ(favorite.formattedDate(QLocale(QLocale::English, QLocale::UnitedStates), QTimeZone::utc()),
              QStringLiteral("Mar 1, 2025, 9:30 AM"));
}

} // namespace
