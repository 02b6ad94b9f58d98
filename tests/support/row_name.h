#pragma once

#include <QString>

#include <gtest/gtest.h>

#include <string>

// Names each row of a value-parameterised table by its own short `name`, so that a test's name
// reads the same in every build and can be quoted and picked with `ctest -R`. What a row holds
// is for failure messages: each row type has a PrintTo for that.
struct RowName {
    template <class Row> std::string operator()(const ::testing::TestParamInfo<Row> &info) const {
        return Text(info.param.name);
    }

private:
    static std::string Text(const char *name) { return name; }
    static std::string Text(const char16_t *name) { return QString::fromUtf16(name).toStdString(); }
};
