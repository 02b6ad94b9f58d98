// Pieces of a line joined into records, and what an overlong record leaves.

#include "link/protocol/record_assembler.h"
#include "tests/support/row_name.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct AssemblyCase {
    const char *name;
    std::vector<const char *> pieces;
    tuner::Overlong overlong; // with a limit of four characters
    QStringList records;
    int dropped;
    const char *unfinished;
};

class RecordAssembly : public ::testing::TestWithParam<AssemblyCase> {};

TEST_P(RecordAssembly, JoinsPiecesAtEachCr) {
    tuner::RecordAssembler assembler(4, GetParam().overlong);
    QStringList records;
    int dropped = 0;
    for (const char *piece : GetParam().pieces) {
        const auto result = assembler.Add(QString::fromLatin1(piece));
        records += result.records;
        dropped += result.dropped;
    }
    EXPECT_EQ(records, GetParam().records);
    EXPECT_EQ(dropped, GetParam().dropped);
    EXPECT_EQ(assembler.Unfinished(), QString::fromLatin1(GetParam().unfinished));
}

using tuner::Overlong;
INSTANTIATE_TEST_SUITE_P(
    Table, RecordAssembly,
    ::testing::Values(
        AssemblyCase{"JoinsPieces", {"P,", "1\r"}, Overlong::Drop, {QStringLiteral("P,1")}, 0, ""},
        AssemblyCase{"TwoInOnePiece",
                     {"a\rb\rc"},
                     Overlong::Drop,
                     {QStringLiteral("a"), QStringLiteral("b")},
                     0,
                     "c"},
        AssemblyCase{"DropsAnOverlongOneToItsCr",
                     {"abcdef", "g\rok\r"},
                     Overlong::Drop,
                     {QStringLiteral("ok")},
                     1,
                     ""},
        AssemblyCase{"KeepsAnOverlongOnesTail",
                     {"abcdef", "g\r"},
                     Overlong::KeepTail,
                     {QStringLiteral("defg")},
                     0,
                     ""}),
    RowName());

} // namespace
