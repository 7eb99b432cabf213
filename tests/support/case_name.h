// Names table-driven cases after their `name` field.
#pragma once

#include <string>

#include <gtest/gtest.h>

struct CaseName
{
    template <typename Case> std::string operator()(const testing::TestParamInfo<Case> &c) const
    {
        return c.param.name;
    }
};
