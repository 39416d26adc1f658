#include <gtest/gtest.h>

#include <thread>

#include "WorldSupport.h"
#include "runtime/Errors.h"
#include "runtime/Log.h"
#include "state/ContextFile.h"
#include "world/Location.h"

#include <cstdio>

using namespace zanfir;
using namespace zanfir::test;

namespace {

using namespace zanfir::test::prompts;

class LoginTest : public WorldTest {
protected:
    std::unique_ptr<TestMain> engine(bool multiuser) {
        auto main = std::make_unique<TestMain>("castello", multiuser, dir.path());
        main->load();
        return main;
    }

    // Answers every question of a new player's login.
    static void join(Client& client, const std::string& name, const std::string& password) {
        client.until(NAME);
        client.send(name + "\n");
        client.until(PASSWORD);
        client.send(password + "\n");
        client.until(AGAIN);
        client.send(password + "\n");
    }

    void SetUp() override {
        WorldTest::SetUp();
        copyFixture("castello", dir);
    }

    TempDir dir;
};

TEST_F(LoginTest, NamesOfOneSinglePlayer) {
    auto main = engine(false);
    Client client(*main);
    client.until(NAME);
    // Empty lines ask again silently; the other refusals say why.
    const std::pair<const char*, const char*> refused[] = {
        {"   ", ""},
        {"mario rossi", "\n- Usa nomi di una sola parola, per favore.\n\n"},
        {"lume", "\n- Non puoi usare un nome meno ambiguo?\n\n"},
        {"CHIAVINA", "\n- Non puoi usare un nome meno ambiguo?\n\n"},
        {"gli", "\n- Non puoi usare un nome meno ambiguo?\n\n"},
        {"ma.rio", "\n- Non puoi usare un nome meno ambiguo?\n\n"},
        {"../../etc", "\n- Non puoi usare un nome meno ambiguo?\n\n"},
        {"a\x01", "\n- Non puoi usare un nome meno ambiguo?\n\n"},
    };
    for (const auto& [name, answer] : refused) {
        client.send(std::string(name) + "\n");
        EXPECT_EQ(client.until(NAME), answer + NAME) << name;
    }
    client.send("  nICCOLò  \n"); // no password in single-player mode
    std::string start = client.until(PROMPT);
    EXPECT_EQ(client.session->userName(), "Niccolò");
    EXPECT_NE(start.find("Benvenuto al castello."), std::string::npos);
    EXPECT_EQ(main->world().getUser("NICCOLÒ"), client.session->user());
    EXPECT_TRUE(main->world().isItemWord("NICCOLÒ"));
    client.hangUp();
    ASSERT_TRUE(waitUntil([&] { return client.session->isFinished(); }));
    EXPECT_FALSE(main->world().existItem("NICCOLÒ")); // handed back at the end
}

TEST_F(LoginTest, PasswordsInASharedWorld) {
    auto main = engine(true);
    Client first(*main);
    first.until(NAME);
    first.send("Mario\n");
    first.until(PASSWORD);
    first.send(" abc \n");
    EXPECT_EQ(first.until(PASSWORD),
              "\n- La password deve essere lunga almeno 4 caratteri.\n\n" + PASSWORD);
    first.send("abcd\n");
    first.until(AGAIN);
    first.send("abce\n");
    EXPECT_EQ(first.until(NAME),
              "\n- La seconda volta hai scritto una password diversa dalla prima.\n\n" + NAME);
    first.send("Mario\n");
    first.until(PASSWORD);
    first.send("segreto\n");
    first.until(AGAIN);
    first.send("segreto\n");
    first.until(PROMPT);
    EXPECT_EQ(first.session->userID(), 1);
    // saved at the first idle moment
    EXPECT_TRUE(waitUntil([&] { return fileExists(main->stateFile()); }));

    // While Mario plays, his name is a word of the game, and yet he may come
    // in again: with his password only.
    Client second(*main);
    second.until(NAME);
    second.send("mario\n");
    second.until(PASSWORD);
    second.send("sbagliata\n");
    EXPECT_EQ(second.until(NAME), "\n- Mi dispiace, la password non e' corretta.\n\n" + NAME);

    // Players see each other and talk.
    second.send("Luigi\n");
    second.until(PASSWORD);
    second.send("password\n");
    second.until(AGAIN);
    second.send("password\n");
    std::string scene = second.until(PROMPT);
    EXPECT_NE(scene.find("Qui c'e' Mario."), std::string::npos) << scene;
    second.send("parla\n");
    second.until("Cosa devo dire? ");
    second.send("  ciao Mario \n");
    second.until(PROMPT);
    first.send("guarda\n");
    EXPECT_NE(first.until(PROMPT).find("Luigi dice << ciao Mario >>.\n\n"), std::string::npos);

    // Once Mario has left, his password is asked and checked.
    first.hangUp();
    ASSERT_TRUE(waitUntil([&] { return first.session->isFinished(); }));
    EXPECT_FALSE(main->world().isItemWord("MARIO"));
    Client third(*main);
    third.until(NAME);
    third.send("mario\n");
    third.until(PASSWORD);
    third.send("SEGRETO\n");
    EXPECT_EQ(third.until(NAME), "\n- Mi dispiace, la password non e' corretta.\n\n" + NAME);
    third.send("mario\n");
    third.until(PASSWORD);
    third.send("segreto\n");
    third.until(PROMPT);
    EXPECT_EQ(third.session->userID(), 1);
}

// Players who wait inside a command (asked what to say) hold nothing: one
// who comes meanwhile logs in, sees them and is answered; then they speak,
// and are heard.
TEST_F(LoginTest, PlayersWaitingInsideACommandBlockNobody) {
    auto main = engine(true);
    std::vector<std::unique_ptr<Client>> askers;
    for (const char* name : {"Anna", "Bruno", "Carla", "Dario", "Elena"}) {
        askers.push_back(std::make_unique<Client>(*main));
        join(*askers.back(), name, "segreto");
        askers.back()->until(PROMPT);
    }
    // Everyone is asked what to say, and nobody answers yet.
    for (auto& asker : askers) {
        asker->send("parla\n");
        asker->until("Cosa devo dire? ");
    }
    Client other(*main);
    join(other, "Franco", "segreto");
    other.until(PROMPT);
    other.send("guarda\n");
    std::string scene = other.until(PROMPT);
    for (const char* name : {"Anna", "Bruno", "Carla", "Dario", "Elena"})
        EXPECT_NE(scene.find(std::string("Qui c'e' ") + name + "."), std::string::npos) << scene;
    std::string heard; // by the last, once all have spoken
    for (auto& asker : askers) {
        asker->send("ciao\n");
        heard = asker->until(PROMPT);
    }
    for (const char* name : {"Anna", "Bruno", "Carla", "Dario"})
        EXPECT_NE(heard.find(std::string(name) + " dice << ciao >>"), std::string::npos) << heard;
}

TEST_F(LoginTest, OnePlayerPlaysOnceAtATime) {
    auto main = engine(true);
    Session mario(*main, "Mario");
    // Mario comes in again: the older session is told to end, and the new one
    // plays him once it has handed him back.
    std::thread older([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        main->removeAdventure(*mario.adventure, mario.ctx());
    });
    Session again(*main, "Mario");
    older.join();
    EXPECT_EQ(main->world().getUser("MARIO"), again.user);
    EXPECT_EQ(again.adventure->userID(), mario.adventure->userID());

    // A player created by another session meanwhile still needs the password.
    main->removeAdventure(*again.adventure, again.ctx());
    ObjectRef holder;
    auto late = std::make_shared<Adventure>(*main, nullptr, nullptr);
    EXPECT_THROW(main->players().addAdventure(late, holder, "Mario", "wrong"),
                 LoginRefusedException);
    EXPECT_FALSE(main->world().existItem("MARIO"));
}

TEST_F(LoginTest, SingleSessionsOfOneName) {
    auto main = engine(false);
    Session first(*main, "Mario");
    Session second(*main, "Mario");
    EXPECT_NE(first.ctx().getString("USER.1.NAME"), ""); // separate worlds
    EXPECT_FALSE(second.ctx().exist("USER.1"));
    // The first logout leaves the second player registered.
    main->removeAdventure(*first.adventure, first.ctx());
    EXPECT_EQ(main->world().getUser("MARIO"), second.user);
    EXPECT_TRUE(main->world().isItemWord("MARIO"));

    // A game saved under another number is taken over by this one.
    ASSERT_TRUE(first.adventure->savedGames().serialize());
    second.adventure->setLocation(main->world().getLocation("SALA"));
    ASSERT_EQ(second.adventure->savedGames().deserialize(), SavedGames::Loaded::YES);
    EXPECT_EQ(second.adventure->getLocation()->name(), "INGRESSO");
    EXPECT_TRUE(second.ctx().getBoolean("USER.2.INVENTORY.SPADA"));
    EXPECT_FALSE(second.ctx().exist("USER.1"));

    // Someone else's game is no saved game of this player.
    Session anna(*main, "Anna");
    std::rename(dir.file("mario.context").c_str(), dir.file("anna.context").c_str());
    EXPECT_THROW(anna.adventure->savedGames().deserialize(), SerializationException);
}

// The author took away the place where a player was: the player starts
// again where new players start, and the log says so.
TEST_F(LoginTest, APlayerWhosePlaceIsGoneStartsAgain) {
    {
        auto main = engine(true);
        Session mario(*main, "Mario");
        mario.adventure->setLocation(main->world().getLocation("SALA"));
        main->removeAdventure(*mario.adventure, mario.ctx());
        main->serialize();
    }
    auto state = ContextFile::read(dir.file("castello.gcontext"));
    EXPECT_EQ(state->getString("USER.1.LOCATION"), "SALA");
    state->setString("USER.1.LOCATION", "CANTINA");
    ContextFile::write(dir.file("castello.gcontext"), *state);

    auto main = engine(true);
    main->setLogEnabled(true);
    Session mario(*main, "Mario");
    EXPECT_EQ(mario.adventure->getLocation()->name(), "INGRESSO");
    Log::setGlobalLog(nullptr);
    bool told = false;
    for (const auto& row : logLines(dir.file("logs")))
        told |= row.find("WARN Giocatore spostato alla locazione iniziale, la sua non esiste "
                         "piu': 'Mario'") != std::string::npos;
    EXPECT_TRUE(told);
}

TEST_F(LoginTest, SharedStateSurvivesARestart) {
    {
        auto main = engine(true);
        main->setDumpEnabled(true);
        Client mario(*main);
        testing::internal::CaptureStderr();
        join(mario, "Mario", "segreto");
        mario.until(PROMPT);
        mario.send("prendi lanterna\n");
        mario.until(PROMPT);
        mario.send("nord\n");
        mario.until(PROMPT);
        std::string dump = testing::internal::GetCapturedStderr();
        EXPECT_NE(dump.find("[GLOBAL]\n"), std::string::npos);
        EXPECT_NE(dump.find("      LOCATION: 'SALA'"), std::string::npos) << dump;
        mario.send("basta\n");
        mario.until("- Vuoi smettere di giocare? ");
        mario.send("si\n");
        mario.until("- Premi <invio> per continuare... ");
        mario.send("\n");
        ASSERT_TRUE(waitUntil([&] { return mario.session->isFinished(); }));
    }
    auto state = ContextFile::read(dir.file("castello.gcontext"));
    EXPECT_EQ(state->getString("USER.1.NAME"), "Mario");
    EXPECT_EQ(state->getString("USER.1.LOCATION"), "SALA");
    EXPECT_TRUE(state->getBoolean("USER.1.INVENTORY.LANTERNA"));

    auto main = engine(true);
    Client mario(*main), anna(*main);
    mario.until(NAME);
    mario.send("MARIO\n");
    mario.until(PASSWORD);
    mario.send("segreto\n");
    std::string back = mario.until(PROMPT);
    EXPECT_NE(back.find("Sei in una grande sala."), std::string::npos) << back;
    EXPECT_EQ(back.find("Benvenuto"), std::string::npos); // the introduction once
    EXPECT_EQ(mario.session->userID(), 1);
    join(anna, "Anna", "nuovanuova");
    anna.until(PROMPT);
    EXPECT_EQ(anna.session->userID(), 2);
    mario.send("cosa\n");
    EXPECT_NE(mario.until(PROMPT).find("- una lanterna"), std::string::npos);
}

} // namespace
