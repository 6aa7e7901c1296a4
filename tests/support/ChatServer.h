#pragma once
// A local imitation of the chat-completions service that every
// chat-completions call of the process reaches for the life of the object,
// and a check of the errors client calls make of failed replies. For the
// tests of programs that link the translation library.
#include "support/HttpTestServer.h"
#include "translation/ChatCompletions.h"

#include <gtest/gtest.h>

namespace vox::test {

class ChatServer : public HttpTestServer {
public:
    ChatServer() { ChatCompletions::setBaseUrlForTesting(url()); }
    ~ChatServer()
    {
        ChatCompletions::setBaseUrlForTesting(std::nullopt);
        ChatCompletions::setTimeoutForTesting(std::nullopt);
    }
};

// A reply and the error a client call must turn it into (a null message:
// only domain and code are compared).
struct ReplyFailure {
    const char *what;
    HttpTestReply reply;
    Error expected;
};

// Queues each case's reply on POST `path` in turn and checks the error
// that `call` returns for it.
template <typename Call>
void expectFailures(HttpTestServer &server, const QString &path, const std::vector<ReplyFailure> &cases, Call call)
{
    for (const ReplyFailure &c : cases) {
        SCOPED_TRACE(c.what);
        server.enqueue("POST", path, c.reply);
        const auto r = call();
        ASSERT_FALSE(r.ok());
        EXPECT_EQ(r.error().domain, c.expected.domain);
        EXPECT_EQ(r.error().code, c.expected.code);
        if (!c.expected.message.isNull()) {
            EXPECT_EQ(r.error().message, c.expected.message);
        }
    }
}

} // namespace vox::test
