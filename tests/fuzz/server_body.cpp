// Request bodies as kelvo-server reads them: every member a route reads, then the checks on
// what users send. Whatever passes a check is within that check's bounds.
#include "FuzzSupport.h"

#include "JsonBody.h"
#include "Validation.h"

#include <cmath>

using namespace kelvo::server;
using kelvo::fuzz::require;

namespace {

qsizetype characters(const QString& text) {
    return text.toUcs4().size();
}

void checkTexts(JsonBody& body) {
    const QString name = body.requiredText(QStringLiteral("name"));
    if (!Validation::name(name, QStringLiteral("name"))) {
        require(characters(name) >= 1 && characters(name) <= Validation::maxNameLength, "a name of 1 to 200 characters");
    }
    const auto description = body.optionalText(QStringLiteral("description"));
    if (!Validation::description(description) && description) {
        require(characters(*description) <= Validation::maxDescriptionLength, "a description of at most 2,000 characters");
    }
    const auto colour = body.optionalText(QStringLiteral("color"));
    if (!Validation::colour(colour) && colour) {
        require(colour->size() == 7 && colour->startsWith(u'#'), "a colour of #RRGGBB");
    }
    for (const QString& id :
         {QStringLiteral("projectId"), QStringLiteral("taskId"), QStringLiteral("captchaId"), QStringLiteral("captchaValue")}) {
        body.optionalText(id);
    }
}

void checkAccount(JsonBody& body) {
    const QString email = body.requiredText(QStringLiteral("email"));
    if (!Validation::email(email)) {
        require(characters(email) <= Validation::maxEmailLength && email.count(u'@') == 1,
                "an e-mail of one @ and at most 254 characters");
        require(Validation::emailKey(Validation::emailKey(email)) == Validation::emailKey(email), "an e-mail key is its own key");
    }
    const QString password = body.requiredText(QStringLiteral("password"));
    if (!Validation::password(password)) {
        require(characters(password) >= 6 && !password.contains(QChar(0)), "a password of at least 6 characters, no NUL");
        Validation::passwordForm(password);
    }
}

void checkNumbers(JsonBody& body) {
    for (const QString& member : {QStringLiteral("hourlyRate"), QStringLiteral("defaultHourlyRate")}) {
        const auto rate = body.optionalNumber(member);
        if (!Validation::rate(rate, member) && rate) {
            require(std::isfinite(*rate) && *rate >= 0 && *rate <= Validation::maxRate, "a rate of 0 to 100,000");
        }
    }
    body.optionalFlag(QStringLiteral("isActive"));
    body.optionalFlag(QStringLiteral("isCompleted"));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto body = JsonBody::parse(kelvo::fuzz::bytes(data, size));
    if (!body) {
        return 0;
    }
    checkTexts(*body);
    checkAccount(*body);
    checkNumbers(*body);
    return 0;
}
