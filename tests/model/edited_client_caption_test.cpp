#include "model/edited_client_caption.h"
#include "tests/model/client_site.h"

#include <gtest/gtest.h>

namespace mirx::model {
namespace {

TEST(EditedClientCaption, NamesTheDefaultsOrTheClient) {
    site::Site site;
    site::addClient(site, 10000, 0, 10, "Desk", "Front desk", "desk", "pw");
    site::addClient(site, 10001, 1, 104, "", "", "trunk", "");
    const auto data = test::loadSite(site);
    struct Case {
        int index;
        const char* caption;
    };
    const std::string trunk =
        LabelTable::ClientTypeName(104, false) + " / " + data->labels.DisplayName(10001) + " / ";
    const Case cases[] = {
        {-1, "DEFAULT SETTINGS FOR ALL CLIENTS"},
        {0, nullptr},
        {1, trunk.c_str()},
        {5, "INVALID LABEL TYPE / NO LABEL / <Invalid>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.index);
        const std::string expected =
            c.caption != nullptr ? c.caption
                                 : LabelTable::ClientTypeName(10, false) + " / Desk / Front desk";
        EXPECT_EQ(editedClientCaption(data->labels, c.index), expected);
    }
}

} // namespace
} // namespace mirx::model
