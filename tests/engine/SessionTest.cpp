#include <gtest/gtest.h>

#include <sys/stat.h>

#include <map>
#include <random>

#include "WorldSupport.h"
#include "runtime/Log.h"
#include "world/Item.h"
#include "world/Location.h"
#include "world/Phrase.h"

using namespace zanfir;
using namespace zanfir::test;

namespace {

const std::string DICTIONARY = "[IGNORE]\nARTICOLI=il, la, l\n"
                               "[VERBS]\nAPRI=\nSPINGI=\n"
                               "[ITEMS]\nCHIAVE=\nPORTA=\nASCIA=\nSCRIGNO=\nSPADA=\n"
                               "PIETRA=pietra rossa grande\nROSSA=\n"
                               "[ADVERBS]\nPIANO=\n";

class SessionTest : public WorldTest {
protected:
    std::unique_ptr<TestMain> load(const std::string& map, const std::string& inventory,
                                   const std::string& actionset, bool multiuser = false) {
        writeAdventure(dir, "prova",
                       {{"zanfa", "[BEGINNING]\nLOCATION=SALA\n"},
                        {"dictionary", DICTIONARY},
                        {"map", map},
                        {"inventory", inventory},
                        {"actionset", actionset}});
        ::mkdir(dir.file("logs").c_str(), 0755);
        auto main = std::make_unique<TestMain>("prova", multiuser, dir.path());
        main->blocks["{probe}"] = [this] {
            return std::make_shared<ProbeAction>([this](ProbeAction& self) {
                probe(self);
                return true;
            });
        };
        main->load();
        return main;
    }

    std::shared_ptr<const Phrase> parse(Session& session, const std::string& line) {
        return session.adventure->commands().parseCommand(line);
    }

    // The player's scene against a fresh look at the place.
    static void expectSceneAgrees(Session& viewer, int step) {
        Adventure& session = *viewer.adventure;
        viewer.output();
        session.scene().printItems();
        session.scene().printUsers();
        std::string items, users;
        for (const auto& item : session.getItemsHere()) {
            if (!item->visible() || session.isItemHidden(*item))
                continue;
            if (session.isItemUser(*item))
                users += "Qui c'e' " + item->descr().text() + ".\n";
            else
                items += "Vedo " + item->descr().text() + ".\n";
        }
        EXPECT_EQ(viewer.output(), items + users) << viewer.user->name() << " at step " << step;
    }

    TempDir dir;
    std::function<void(ProbeAction&)> probe = [](ProbeAction&) {};
};

const std::string TWO_ROOMS = "[SALA]\nDESCR=in sala\nLONG-DESCR=Una grande sala.\nNORTH=CORTE\n"
                              "ITEMS=chiave, porta, pietra\n"
                              "[CORTE]\nDESCR=in corte\nSOUTH=SALA\n";
const std::string ITEMS = "[CHIAVE]\nDESCR=una chiave\n"
                          "[PORTA]\nDESCR=una porta\nCARRIABLE=FALSE\n"
                          "[PIETRA]\nDESCR=una pietra\nVISIBLE=FALSE\n";

TEST_F(SessionTest, EventsFireInKeyOrder) {
    auto main = load(TWO_ROOMS, ITEMS,
                     "[EVENTS]\n"
                     "ITEM-TAKE:CHIAVE=\"[take chiave]\"\n"
                     "ITEM-TAKE:*=\"[take *]\"\n"
                     "ITEM-LOCATION-EXIT:CHIAVE:SALA=\"[ile chiave:sala]\"\n"
                     "LOCATION-ITEM-EXIT:*:*=\"[lie *:*]\"\n"
                     "ITEM-LOCATION-ENTER:*:*={probe}\n"
                     "ITEM-DROP:*=\"[drop]\"\n"
                     "LOCATION-EXIT:SALA=\"[exit sala]\"\n"
                     "LOCATION-ENTER:*=\"[enter *]\"\n");
    Session mario(*main, "Mario");
    Adventure& session = *mario.adventure;
    auto chiave = main->world().getItem("CHIAVE");
    std::string seenItem, seenLocation;
    bool carriedThen = false;
    probe = [&](ProbeAction& self) {
        seenItem = self.context()->getString("USER.EVENT.ITEM");
        seenLocation = self.context()->getString("USER.EVENT.LOCATION");
        carriedThen = session.isItemCarried(*chiave);
        self.print("[ile *:*]");
    };
    session.takeItem(*chiave);
    EXPECT_EQ(mario.output(), "[ile chiave:sala][lie *:*][take chiave][take *]");
    EXPECT_EQ(mario.ctx().getString("USER.1.EVENT.ITEM"), "*"); // the last handler's key
    session.setLocation(main->world().getLocation("corte"));
    EXPECT_EQ(mario.output(), "[exit sala][enter *]");
    session.setLocation(main->world().getLocation("CORTE")); // already there: nothing
    EXPECT_EQ(mario.output(), "");
    session.dropItem(*chiave);
    EXPECT_EQ(mario.output(), "[ile *:*]\n[drop]"); // the row was full
    EXPECT_EQ(seenItem, "*");
    EXPECT_EQ(seenLocation, "*");
    EXPECT_TRUE(carriedThen); // the enter events of a drop run while it is carried
    EXPECT_EQ(session.getItemLocation(*chiave)->name(), "CORTE");
}

TEST_F(SessionTest, RunawayEventsHitTheDepthGuard) {
    auto main = load(TWO_ROOMS, ITEMS, "[EVENTS]\nLOCATION-ENTER:*={probe}\n");
    probe = [&](ProbeAction& self) {
        Adventure& session = self.session();
        auto here = session.getLocation()->name();
        session.setLocation(session.location(here == "SALA" ? "CORTE" : "SALA"));
    };
    main->setLogEnabled(true);
    Client client(*main);
    client.until("Qual'e' il tuo nome? ");
    client.send("Mario\n");
    client.until("Cosa devo fare? ");
    client.send("nord\n");
    ASSERT_TRUE(waitUntil([&] { return client.session->isFinished(); }));
    auto rows = logLines(dir.file("logs"));
    EXPECT_TRUE(std::any_of(rows.begin(), rows.end(), [](const std::string& row) {
        return row.find("FAIL Eccezione Exception: Esecuzione interrotta") != std::string::npos;
    })) << testing::PrintToString(rows);
    EXPECT_EQ(rows.back().substr(36), "Termine avventura\r");
    Log::setGlobalLog(nullptr);
}

TEST_F(SessionTest, Scene) {
    auto main = load(TWO_ROOMS,
                     "[CHIAVE]\nDESCR=una chiave\nFIRST-DESCR=Una chiave luccica.\n"
                     "[PORTA]\nDESCR=una porta\nCARRIABLE=FALSE\n"
                     "[PIETRA]\nDESCR=una pietra\nVISIBLE=FALSE\n"
                     "[PIETRA/EVENTS]\nITEM-SEEN=never\n",
                     "[EVENTS]\nLOCATION-SEEN:SALA=\"[seen sala] \"\n"
                     "ITEM-SEEN:CHIAVE=\"[seen chiave] \"\n"
                     "ITEM-SEEN:LUIGI=\"[seen luigi] \"\n",
                     true);
    Session mario(*main, "Mario"), luigi(*main, "Luigi");
    Adventure& session = *mario.adventure;
    session.scene().printLocation();
    session.scene().printItems();
    session.scene().printUsers();
    EXPECT_EQ(mario.output(), "[seen sala] Una grande sala.\n"
                              "[seen chiave] Una chiave luccica.\n"
                              "Vedo una porta.\n"
                              "[seen luigi] Qui c'e' Luigi.\n");
    EXPECT_TRUE(session.isItemSeen(*luigi.user));
    EXPECT_FALSE(luigi.adventure->isItemSeen(*mario.user));
    luigi.adventure->scene().printUsers();
    EXPECT_EQ(luigi.output(), "Qui c'e' Mario.\n");
    EXPECT_TRUE(luigi.adventure->isItemSeen(*mario.user));
    session.scene().printLocation();
    session.scene().printItems();
    EXPECT_EQ(mario.output(), "Sei in sala.\nVedo una chiave.\nVedo una porta.\n");

    mario.user->putQuote(luigi.user, "ciao");
    mario.user->putQuote(luigi.user, "come va?");
    session.scene().printQuotes();
    EXPECT_EQ(mario.output(), "Luigi dice << ciao >>.\n\nLuigi dice << come va? >>.\n\n");
    session.scene().printQuotes();
    EXPECT_EQ(mario.output(), "");
    // Hidden items and hidden players are not listed.
    session.hideItem(*main->world().getItem("PORTA"));
    session.scene().printItems();
    EXPECT_EQ(mario.output(), "Vedo una chiave.\n");
}

// A player's flags for the players they have met are one text, and read
// as the flags of any item: by conditions too, after the other has left.
TEST_F(SessionTest, PlayersSeenAreKeptCompactly) {
    auto main = load(TWO_ROOMS, ITEMS,
                     "[ACTIONS]\n"
                     "*:APRI:*=\"{if (USER.SEEN.ITEMS.LUIGI) print 'Luigi si'; else print 'Luigi "
                     "no'; if (USER.SEEN.ITEMS.CHIAVE) print ', chiave si'}\"\n",
                     true);
    std::vector<std::unique_ptr<Session>> crowd;
    for (int n = 0; n < 20; ++n) // numbers past a byte of the set
        crowd.push_back(std::make_unique<Session>(*main, "p" + std::to_string(n)));
    Session mario(*main, "Mario"), luigi(*main, "Luigi"), anna(*main, "Anna");
    Adventure& session = *mario.adventure;
    anna.adventure->setLocation(main->world().getLocation("CORTE"));
    auto open = [&] {
        session.commands().executeCommand(session.commands().parseCommand("apri porta"));
        return mario.output();
    };
    EXPECT_EQ(open(), "Luigi no\n");
    session.scene().printUsers();
    EXPECT_EQ(mario.output().find("Anna"), std::string::npos);
    EXPECT_TRUE(session.isItemSeen(*luigi.user));
    EXPECT_TRUE(session.isItemSeen(*crowd[3]->user));
    EXPECT_FALSE(session.isItemSeen(*anna.user)) << "not in the place";
    EXPECT_FALSE(luigi.adventure->isItemSeen(*anna.user)) << "nor seen by another";
    EXPECT_EQ(open(), "Luigi si\n");
    session.scene().printItems();
    mario.output();
    EXPECT_EQ(open(), "Luigi si, chiave si\n");

    // No flag of its own per player: one text, the same after a second look.
    Context& state = mario.ctx();
    const auto mine = "USER." + std::to_string(session.userID());
    auto text = state.getString(mine + ".SEEN.PLAYERS");
    EXPECT_FALSE(text.empty());
    auto stored = std::get<std::shared_ptr<Context>>(*state.get(mine + ".SEEN.ITEMS"))->names();
    EXPECT_EQ(std::count(stored.begin(), stored.end(), "LUIGI"), 0);
    session.scene().printUsers();
    mario.output();
    EXPECT_EQ(state.getString(mine + ".SEEN.PLAYERS"), text);

    // Luigi gone: still met.
    luigi.adventure->quit();
    main->removeAdventure(*luigi.adventure, luigi.ctx());
    EXPECT_EQ(open(), "Luigi si, chiave si\n");
    session.setItemSeen(*crowd[3]->user); // again: no change
    EXPECT_EQ(state.getString(mine + ".SEEN.PLAYERS"), text);
    crowd[3]->user->setSeen(session, state, false);
    EXPECT_FALSE(session.isItemSeen(*crowd[3]->user));
    EXPECT_TRUE(session.isItemSeen(*crowd[4]->user));
    EXPECT_TRUE(session.isItemSeen(*crowd[2]->user));
    state.setString(mine + ".SEEN.PLAYERS", "non è base64!"); // a damaged file: none seen
    EXPECT_EQ(open(), "Luigi no, chiave si\n");
}

// A player's place is the one in the state, whoever moved him there: he
// himself, another player of the shared world, a write into the state, or
// his context replaced whole.
TEST_F(SessionTest, APlayersPlaceFollowsWhoeverMovesHim) {
    auto main = load(TWO_ROOMS, ITEMS, "", true);
    Session mario(*main, "Mario"), luigi(*main, "Luigi");
    Adventure& session = *mario.adventure;
    auto here = [&] {
        auto location = session.getLocation();
        return location ? location->name() : "";
    };
    EXPECT_EQ(here(), "SALA");
    mario.user->setLocation(*luigi.adventure, luigi.ctx(), *main->world().getLocation("CORTE"));
    EXPECT_EQ(here(), "CORTE");
    // An author's MARIO.goto moves the player, not only his item.
    EXPECT_TRUE(luigi.adventure->setItemLocation(*mario.user, main->world().getLocation("SALA")));
    EXPECT_EQ(here(), "SALA");
    EXPECT_TRUE(luigi.adventure->isItemHere(*mario.user));
    session.setLocation(main->world().getLocation("SALA"));
    EXPECT_EQ(here(), "SALA");
    const auto mine = "USER." + std::to_string(session.userID());
    luigi.ctx().setString(mine + ".LOCATION", "CORTE");
    EXPECT_EQ(here(), "CORTE");
    auto player = std::make_shared<Context>();
    player->appendFrom(*luigi.ctx().nested(mine));
    player->setString("LOCATION", "SALA");
    luigi.ctx().set(mine, player);
    EXPECT_EQ(here(), "SALA");
    EXPECT_EQ(luigi.adventure->getLocation()->name(), "SALA");
}

// The key taken or dropped (`take`), else hidden or shown, where it can be.
void changeKey(Adventure& session, Item& key, bool take, std::mt19937& random) {
    if (take && session.isItemCarried(key))
        session.dropItem(key);
    else if (take && session.isItemHere(key))
        session.takeItem(key);
    else if (!take && session.isItemHere(key) && random() % 2)
        session.hideItem(key);
    else if (!take && session.isItemHere(key))
        session.unhideItem(key);
}

// The list a scene shows is kept for the place between changes: whatever
// happens (players come, go, hide, log in and out; items are taken, dropped
// and hidden), every player's scene lists what a fresh look finds.
TEST_F(SessionTest, ScenesListWhatIsThere) {
    auto main = load(TWO_ROOMS, ITEMS, "", true);
    const std::vector<std::string> names = {"Anna", "Bice", "Carlo", "Dario", "Elio", "Fede"};
    std::map<std::string, std::unique_ptr<Session>> online;
    auto login = [&](const std::string& name) {
        online[name] = std::make_unique<Session>(*main, name);
    };
    login("Anna");
    login("Bice");
    std::mt19937 random(11);
    auto any = [&] {
        auto at = online.begin();
        std::advance(at, random() % online.size());
        return at;
    };
    auto key = main->world().getItem("CHIAVE");
    for (int step = 0; step < 400; ++step) {
        auto& [name, player] = *any();
        Adventure& session = *player->adventure;
        switch (random() % 7) {
        case 0: { // a login, or a logout
            auto absent = names[random() % names.size()];
            if (!online.count(absent)) {
                login(absent);
            } else if (online.size() > 1 && absent != name) {
                auto& leaving = *online[absent];
                leaving.adventure->quit();
                main->removeAdventure(*leaving.adventure, leaving.ctx());
                online.erase(absent);
            }
            break;
        }
        case 1:
        case 2:
            session.setLocation(main->world().getLocation(random() % 2 ? "SALA" : "CORTE"));
            break;
        case 3:
            if (random() % 2)
                session.hideItem(*player->user);
            else
                session.unhideItem(*player->user);
            break;
        case 4:
        case 5:
            changeKey(session, *key, random() % 2, random);
            break;
        default:
            break; // a look, nothing changed
        }
        for (auto& [who, viewer] : online)
            expectSceneAgrees(*viewer, step);
    }
}

// A world of one's own keeps its scenes as well, also across a saved game
// loaded in place of the state they were kept for.
TEST_F(SessionTest, ScenesOfAWorldOfOnesOwnListWhatIsThere) {
    auto main = load(TWO_ROOMS, ITEMS, "");
    Session anna(*main, "Anna");
    Adventure& session = *anna.adventure;
    auto key = main->world().getItem("CHIAVE");
    std::mt19937 random(3);
    for (int step = 0; step < 300; ++step) {
        switch (random() % 5) {
        case 0:
            if (random() % 2)
                session.savedGames().serialize();
            else
                session.savedGames().deserialize();
            break;
        case 1:
            session.setLocation(main->world().getLocation(random() % 2 ? "SALA" : "CORTE"));
            break;
        case 2:
        case 3:
            changeKey(session, *key, random() % 2, random);
            break;
        default:
            break; // a look, nothing changed
        }
        expectSceneAgrees(anna, step);
    }
}

TEST_F(SessionTest, CommandsBecomePhrases) {
    auto main = load(TWO_ROOMS, ITEMS, "");
    Session mario(*main, "Mario");
    Context& ctx = mario.ctx();

    auto phrase = parse(mario, " spingi l'ascia! ");
    ASSERT_NE(phrase, nullptr);
    EXPECT_EQ(phrase->toString(), "SPINGI ASCIA");
    EXPECT_EQ(ctx.getString("USER.1.PHRASE.VERB"), "SPINGI");
    EXPECT_EQ(ctx.getString("USER.1.PHRASE.ITEMS.1"), "ASCIA");
    EXPECT_EQ(parse(mario, "apri piano porta scrigno")->toString(), "APRI PIANO PORTA SCRIGNO");
    EXPECT_EQ(ctx.getString("USER.1.PHRASE.ITEMS.2"), "SCRIGNO");
    auto names = [&](const std::string& path) {
        auto listed = ctx.nested(path)->names();
        std::sort(listed.begin(), listed.end());
        return listed;
    };
    using Names = std::vector<std::string>;
    EXPECT_EQ(names("USER.1.PHRASE.ITEMS"), (Names{"1", "2"}));
    // A shorter phrase leaves nothing of the longer one; the same phrase
    // again changes nothing.
    ctx.setString("USER.1.PHRASE.ALTRO", "x");
    parse(mario, "spingi ascia");
    EXPECT_EQ(names("USER.1.PHRASE"), (Names{"ITEMS", "VERB"}));
    EXPECT_EQ(names("USER.1.PHRASE.ITEMS"), Names{"1"});
    std::uint64_t player = ctx.nested("USER.1")->changes(),
                  stored = ctx.nested("USER.1.PHRASE")->changes();
    parse(mario, "spingi ascia");
    EXPECT_EQ(ctx.nested("USER.1")->changes(), player);
    EXPECT_EQ(ctx.nested("USER.1.PHRASE")->changes(), stored);
    EXPECT_EQ(parse(mario, "apri *")->toString(), "APRI");
    EXPECT_EQ(names("USER.1.PHRASE"), Names{"VERB"});
    EXPECT_FALSE(ctx.exist("USER.1.PHRASE.ITEMS.1"));
    ctx.setString("USER.1.PHRASE", "rotta"); // a value where the phrase belongs
    parse(mario, "spingi ascia");
    EXPECT_EQ(ctx.getString("USER.1.PHRASE.ITEMS.1"), "ASCIA");

    // The longest dictionary expression wins.
    EXPECT_EQ(parse(mario, "spingi pietra rossa grande rossa")->toString(), "SPINGI PIETRA ROSSA");
    EXPECT_EQ(mario.output(), "");

    const std::pair<const char*, const char*> refused[] = {
        {"dove sono?", "Non si risponde ad una domanda con una domanda.\n"},
        {"il la", "- Beh?\n"},
        {"porta", "- Non conosco il verbo 'PORTA'.\n"},
        {"apri tavolo", "- Non conosco la parola 'TAVOLO'.\n"},
        {"apri spingi", "- Non conosco la parola 'SPINGI'.\n"},
    };
    for (const auto& [line, answer] : refused) {
        EXPECT_EQ(parse(mario, line), nullptr) << line;
        EXPECT_EQ(mario.output(), answer) << line;
    }
    EXPECT_EQ(ctx.getString("USER.1.PHRASE.VERB"), "SPINGI"); // refused lines change nothing
}

TEST_F(SessionTest, BindingsResolveFromSpecificToDefault) {
    auto main = load(TWO_ROOMS, ITEMS,
                     "[ACTIONS]\n"
                     "*:APRI:*:*=default\n"
                     "SALA:APRI:*:PORTA=\"wild first\"\n"
                     "SALA:APRI:CHIAVE:*=\"wild second\"\n"
                     "*:APRI:PIANO:*=\"adverb\"\n"
                     "[EVENTS]\nCOMMAND-DO=\"[do]\"\nCOMMAND-UNKNOWN=\"[unknown]\"\n");
    Session mario(*main, "Mario");
    Adventure& session = *mario.adventure;
    auto run = [&](const std::string& line) {
        session.commands().executeCommand(parse(mario, line));
        return mario.output();
    };
    EXPECT_EQ(run("apri chiave porta"), "wild second\n[do]");
    EXPECT_EQ(run("apri scrigno porta"), "wild first\n[do]");
    EXPECT_EQ(run("apri scrigno ascia"), "default\n[do]");
    EXPECT_EQ(run("apri piano chiave"), "adverb\n[do]");
    EXPECT_EQ(run("apri piano"), "- Non capisco.\n[unknown]");
    session.setLocation(main->world().getLocation("CORTE"));
    EXPECT_EQ(run("apri chiave porta"), "default\n[do]");
}

} // namespace
