#include <gtest/gtest.h>

#include <random>

#include "engine/ActionViews.h"
#include "state/Context.h"

using namespace zanfir;

namespace {

std::shared_ptr<Context> context(const std::optional<Context::Value>& value) {
    return value ? std::get<std::shared_ptr<Context>>(*value) : nullptr;
}

// A view handed again, its variables copied in place or not, shows what a
// view built afresh shows, in the same order, and the player's context kept
// is the one in the root, whatever changed in between:
// values and names of variables (undo removes names), the player's other
// entries, whole contexts replaced, and the view written by its action.
TEST(ActionViewsTest, AKeptViewShowsWhatANewOneShows) {
    auto root = std::make_shared<Context>();
    root->setString("GLOBAL.ITEMS.LAMPADA.LOCATION", "PIAZZA");
    root->setString("USER.1.LOCATION", "PIAZZA");
    root->setInt("USER.1.VARIABLES.MOSSE", 0);
    root->setString("USER.2.LOCATION", "CHIESA");

    ActionViews kept;
    std::mt19937 random(11);
    const std::vector<std::string> names = {"MOSSE", "PUNTI", "INIZIO", "LUCE", "GLOBAL", "A.B"};
    auto pick = [&](const auto& from) { return from[random() % from.size()]; };
    auto variables = [&] { return root->nested("USER.1.VARIABLES"); };
    int inPlace = 0;
    // The view at depth 1, and at depth 2 inside it, against new ones.
    auto check = [&](int step) {
        ASSERT_EQ(kept.player(root, 1), context(root->get("USER.1"))) << "step " << step;
        kept.with(root, 1, [&](std::shared_ptr<Context> outer) {
            auto fresh = ActionViews().with(root, 1, [](auto view) { return view; });
            ASSERT_EQ(outer->entries(), fresh->entries()) << "step " << step;
            kept.with(root, 1, [&](std::shared_ptr<Context> inner) {
                EXPECT_NE(inner, outer);
                EXPECT_EQ(inner->entries(), fresh->entries()) << "step " << step;
                if (random() % 4 == 0)
                    inner->setInt(pick(names), 99); // the action's own copy
            });
            if (random() % 4 == 0)
                outer->setInt(pick(names), 98);
        });
    };
    auto changes = [&] {
        auto held = context(root->get("USER.1.VARIABLES"));
        return held ? held->changes() : 0;
    };
    for (int step = 0; step < 3000; ++step) {
        auto before = kept.with(root, 1, [](auto view) { return view; });
        auto changed = changes();
        switch (random() % 12) {
        case 0:
        case 1:
        case 2:
        case 3: // the move counter and its like
            variables()->setInt(pick(names), static_cast<std::int32_t>(random() % 5));
            break;
        case 4:
            variables()->setBoolean(pick(names), random() % 2);
            break;
        case 5: // undo
            variables()->remove(pick(names));
            break;
        case 6:
            root->setString("USER.1.LOCATION", random() % 2 ? "PIAZZA" : "CHIESA");
            break;
        case 7: // a loaded game
            if (random() % 4 == 0)
                root->set("USER.1.VARIABLES", std::make_shared<Context>());
            else if (random() % 3 == 0)
                root->remove("USER.1.VARIABLES");
            break;
        case 8:
            if (random() % 3 == 0) {
                auto player = std::make_shared<Context>();
                player->appendFrom(*root->nested("USER.1"));
                root->set("USER.1", player);
            }
            break;
        case 9:
            if (random() % 3 == 0)
                root->set("GLOBAL", std::make_shared<Context>());
            else
                root->setString("GLOBAL.ITEMS.LAMPADA.LOCATION", "CHIESA");
            break;
        case 10:
            root->setInt("USER.2.VARIABLES.MOSSE", static_cast<std::int32_t>(random() % 5));
            break;
        default:
            break;
        }
        auto after = kept.with(root, 1, [](auto view) { return view; });
        inPlace += after == before && changes() != changed;
        check(step);
    }
    EXPECT_GT(inPlace, 100); // values were copied into a kept view
}

} // namespace
