#pragma once

// A transfer as a table: each command with the answer it must get (its code
// and some of its bytes) or with none at all.

#include "SimClient.h"

#include <QTest>
#include <QVector>

struct ChainStep
{
    Report command;
    int answerCode; // -1: no answer may come
    QVector<QPair<int, int>> expect;
};
using Chain = QVector<ChainStep>;
Q_DECLARE_METATYPE(Chain)

inline ChainStep answered(Report c, int code, QVector<QPair<int, int>> expect = {})
{
    return {std::move(c), code, std::move(expect)};
}

inline ChainStep unanswered(Report c)
{
    return {std::move(c), -1, {}};
}

// Fails the running test at the first step that goes otherwise.
inline void runChain(SimClient& client, const Chain& chain, uint8_t version)
{
    for (int s = 0; s < chain.size(); ++s) {
        const ChainStep& step = chain[s];
        const QByteArray where = "step " + QByteArray::number(s);
        QVERIFY2(client.send(step.command), where);
        if (step.answerCode < 0) {
            QVERIFY2(client.quietFor(100), where);
            continue;
        }
        const Report answer = client.nextAnswer();
        QVERIFY2(!answer.empty(), where);
        QCOMPARE(answer[1], uint8_t(step.answerCode));
        QCOMPARE(answer[2], version);
        for (const auto& e : step.expect)
            QVERIFY2(answer[size_t(e.first)] == e.second,
                     where + " byte " + QByteArray::number(e.first) + " is " +
                         QByteArray::number(answer[size_t(e.first)]));
    }
}
