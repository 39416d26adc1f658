#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

#include "TestSupport.h"
#include "state/Context.h"
#include "state/ContextFile.h"
#include "state/JsonFileStore.h"
#include "util/Util.h"

using namespace zanfir::test;

namespace {

using namespace zanfir::test::prompts;
// DO NAWS, WILL MSSP: a raw client gets them first.
const std::string NEGOTIATION = "\xff\xfd\x1f\xff\xfb\x46";

class ServerTest : public ::testing::Test {
protected:
    // The test adventure (or a bundled one) on a free port, with more settings.
    std::string adventure(const std::string& settings = "", const std::string& name = "castello",
                          bool bundled = false) {
        std::string main = copyFixture(name, dir, bundled);
        port = freePort();
        // Settings stand before the first section; a later port would win.
        std::string text = readFile(main);
        if (auto at = text.find("\nRemotePort="); at != std::string::npos)
            text.insert(at + 1, "//");
        writeFile(main, "RemotePort=" + std::to_string(port) + "\n" + settings + text);
        return main;
    }

    // Logs a player in, answering every question of a new player; what the
    // server said after the last answer.
    static std::string join(TcpClient& client, const std::string& name, bool passwords) {
        client.until(NAME);
        client.send(name + "\r\n");
        if (passwords) {
            client.until(PASSWORD);
            client.send("segreto\r\n");
            client.until(AGAIN);
            client.send("segreto\r\n");
        }
        return client.until(PROMPT);
    }

    // Answers the name and password prompts (the name's is already out);
    // what the server says next, up to `until`.
    static std::string answer(TcpClient& client, const std::string& name,
                              const std::string& password, const std::string& until) {
        client.send(name + "\r\n");
        client.until(PASSWORD);
        client.send(password + "\r\n");
        return client.until(until);
    }

    std::vector<std::string> log() { return logLines(dir.file("logs")); }
    bool logged(const std::string& text) {
        for (const auto& row : log())
            if (row.find(text) != std::string::npos)
                return true;
        return false;
    }

    TempDir dir;
    int port = 0;
};

TEST_F(ServerTest, OneWorldPerConnection) {
    Process server({adventure(), "-server"});
    TcpClient anna(port), bruno(port);
    std::string greeting = anna.until(NAME);
    EXPECT_EQ(greeting, NEGOTIATION + "\r\ncastello\r\n\r\n" + NAME); // the title: no Welcome
    anna.send("Anna\r\n");
    std::string start = anna.until(PROMPT);
    EXPECT_TRUE(start.starts_with("Anna\r\r\n\r\n\r\nBenvenuto al castello.")) << start;
    EXPECT_NE(start.find("Vedo una lanterna.\r\n"), std::string::npos);
    anna.send("prendi lanterna\r\n");
    EXPECT_NE(anna.until(PROMPT).find("Fatto."), std::string::npos);

    // Bruno plays in a world of his own: the lantern is still there.
    join(bruno, "Bruno", false);
    bruno.send("guarda\r\n");
    std::string scene = bruno.until(PROMPT);
    EXPECT_NE(scene.find("Vedo una lanterna."), std::string::npos) << scene;
    EXPECT_EQ(scene.find("Anna"), std::string::npos);

    // Quitting closes that connection only.
    anna.send("basta\r\n");
    anna.until("- Vuoi smettere di giocare? ");
    anna.send("si\r\n");
    anna.until("- Premi <invio> per continuare... ");
    anna.send("\r\n");
    EXPECT_TRUE(anna.closedByServer());
    bruno.send("nord\r\n");
    EXPECT_NE(bruno.until(PROMPT).find("Una sala con un camino spento."), std::string::npos);
    EXPECT_TRUE(logged("Remote                         INFO Aperta una connessione con l'IP "
                       "127.0.0.1"));
    EXPECT_TRUE(logged("INFO Inizio attesa connessioni sulla porta " + std::to_string(port)));
    EXPECT_FALSE(fileExists(dir.file("castello.gcontext")));
}

// A player of a world of their own is offered a second chance at the end;
// in a shared world the end stays a pause before the goodbye.
TEST_F(ServerTest, TheEndOfAGame) {
    std::string main = adventure();
    std::string words = readFile(dir.file("castello.dictionary"));
    writeFile(dir.file("castello.dictionary"),
              words.replace(words.find("[VERBS]\n"), 8, "[VERBS]\nSALTA=\n"));
    writeFile(dir.file("castello.actionset"),
              readFile(dir.file("castello.actionset")) + "*:SALTA={die}\n");
    {
        Process server({main, "-server"});
        TcpClient anna(port);
        join(anna, "Anna", false);
        anna.send("nord\r\nsalta\r\n");
        anna.until(PROMPT);
        anna.until("- ANNULLA l'ultima mossa, RICOMINCIA o BASTA? ");
        anna.send("annulla\r\n");
        std::string back = anna.until(PROMPT);
        EXPECT_NE(back.find("- Fatto: l'ultimo comando e' annullato.\r\n\r\n"
                            "Sei in una grande sala."),
                  std::string::npos)
            << back;
        anna.send("salta\r\n");
        anna.until("RICOMINCIA o BASTA? ");
        anna.send("basta\r\n");
        EXPECT_TRUE(anna.closedByServer());
    }
    Process shared({main, "-server", "-mud"});
    TcpClient bruno(port);
    join(bruno, "Bruno", true);
    // The shared world saves itself: SALVA and CARICA say so.
    bruno.send("salva\r\n");
    EXPECT_NE(bruno.until(PROMPT).find("- Partita salvata.\r\n"), std::string::npos);
    bruno.send("carica\r\n");
    EXPECT_NE(bruno.until(PROMPT).find("- Un mondo condiviso si salva da solo: non c'e' niente "
                                       "da caricare.\r\n"),
              std::string::npos);
    bruno.send("salta\r\n");
    bruno.until("- Premi <invio> per continuare... ");
    bruno.send("\r\n");
    EXPECT_TRUE(bruno.closedByServer());
}

TEST_F(ServerTest, EchoAndLineEnds) {
    Process server({adventure("RemoteInEcho=false\nRemoteOutCRLF=FALSE\n"), "-server"});
    TcpClient client(port);
    client.until(NAME);
    client.send("An\bnna\r\n");
    std::string start = client.until(PROMPT);
    EXPECT_TRUE(start.starts_with("\n\nBenvenuto")) << start; // no echo, bare LF
    EXPECT_EQ(start.find('\r'), std::string::npos);
}

TEST_F(ServerTest, SharedWorldAcrossRestarts) {
    std::string main = adventure();
    {
        Process server({main, "-server", "-mud", "-dump"});
        TcpClient anna(port), bruno(port);
        anna.until(NAME);
        anna.send("anna\r\n");
        anna.until(PASSWORD);
        anna.send("segx\breto\r\n");
        std::string masked = anna.until(AGAIN);
        EXPECT_TRUE(masked.starts_with("****\b \b*****\r\n")) << masked; // CR masked too
        anna.send("segreto\r\n");
        anna.until(PROMPT);
        join(bruno, "Bruno", true);
        anna.send("prendi lanterna\r\n");
        anna.until(PROMPT);
        anna.send("nord\r\n");
        anna.until(PROMPT);
        bruno.send("nord\r\n");
        std::string meeting = bruno.until(PROMPT);
        EXPECT_NE(meeting.find("Qui c'e' Anna."), std::string::npos) << meeting;
        bruno.send("parla anna\r\n");
        bruno.until("Cosa gli devo dire? ");
        bruno.send("ciao!\r\n");
        bruno.until(PROMPT);
        anna.send("cosa\r\n");
        std::string heard = anna.until(PROMPT);
        EXPECT_NE(heard.find("Bruno dice << ciao! >>.\r\n"), std::string::npos) << heard;
        EXPECT_NE(heard.find("- una lanterna"), std::string::npos);
        EXPECT_NE(server.err().find("[GLOBAL]\n"), std::string::npos);
        EXPECT_NE(server.err().find("$argon2id$"), std::string::npos); // the dump shows hashes
        EXPECT_EQ(server.err().find("segreto"), std::string::npos);
        server.kill(); // what was answered is kept, killed or not
    }
    Process server({main, "-server", "-mud"});
    TcpClient anna(port);
    anna.until(NAME);
    std::string back = answer(anna, "Anna", "segreto", PROMPT);
    EXPECT_NE(back.find("Sei in una grande sala."), std::string::npos) << back;
    anna.send("cosa\r\n");
    EXPECT_NE(anna.until(PROMPT).find("- una lanterna"), std::string::npos);
    TcpClient carla(port);
    join(carla, "Carla", true);
    // Numbers go on after the stored ones; a new player is kept before the
    // first prompt.
    auto state = zanfir::JsonFileStore(dir.path() + "/", "castello").loadShared();
    EXPECT_EQ(state->getString("USER.3.NAME"), "Carla");
    // No password in clear in any file the world is kept in.
    EXPECT_TRUE(state->getString("USER.1.PASSWORD").starts_with("$argon2id$"));
    for (const auto& file : listDir(dir.path())) {
        if (file.starts_with("castello.gcontext")) {
            EXPECT_EQ(readFile(dir.file(file)).find("segreto"), std::string::npos) << file;
        }
    }
}

// A world saved by an older version kept passwords in clear: they still
// work, and each becomes a hash at its player's next login.
TEST_F(ServerTest, PasswordsKeptInClearAreHashedAtLogin) {
    std::string main = adventure();
    {
        Process server({main, "-server", "-mud"});
        TcpClient anna(port), bruno(port);
        join(anna, "Anna", true);
        join(bruno, "Bruno", true);
        server.signal(SIGTERM);
        server.finish();
    }
    auto old = zanfir::ContextFile::read(dir.file("castello.gcontext"));
    old->setString("USER.1.PASSWORD", "vecchia");
    old->setString("USER.2.PASSWORD", "antica");
    zanfir::ContextFile::write(dir.file("castello.gcontext"), *old);
    {
        Process server({main, "-server", "-mud"});
        TcpClient anna(port);
        anna.until(NAME);
        EXPECT_NE(answer(anna, "Anna", "segreto", NAME)
                      .find("- Mi dispiace, la password non e' corretta."),
                  std::string::npos);
        answer(anna, "Anna", "vecchia", PROMPT);
        server.signal(SIGTERM);
        server.finish();
    }
    auto state = zanfir::ContextFile::read(dir.file("castello.gcontext"));
    EXPECT_TRUE(state->getString("USER.1.PASSWORD").starts_with("$argon2id$"));
    EXPECT_EQ(state->getString("USER.2.PASSWORD"), "antica"); // until Bruno comes back
}

// Two players ask for the lantern at the same instant, round after round:
// one gets it, the other is told it is not there.
TEST_F(ServerTest, OneItemTakenByTwoAtOnce) {
    Process server({adventure(), "-server", "-mud"});
    TcpClient anna(port), bruno(port);
    join(anna, "Anna", true);
    join(bruno, "Bruno", true);
    int annaGot = 0, brunoGot = 0;
    for (int round = 0; round < 300; ++round) {
        anna.send("prendi lanterna\r\n");
        bruno.send("prendi lanterna\r\n");
        bool a = anna.until(PROMPT).find("Preso.") != std::string::npos;
        bool b = bruno.until(PROMPT).find("Preso.") != std::string::npos;
        ASSERT_NE(a, b) << "round " << round;
        TcpClient& holder = a ? anna : bruno;
        (a ? annaGot : brunoGot)++;
        holder.send("lascia lanterna\r\n");
        holder.until(PROMPT);
    }
    EXPECT_EQ(annaGot + brunoGot, 300);
    anna.send("guarda\r\n");
    EXPECT_NE(anna.until(PROMPT).find("Vedo una lanterna."), std::string::npos);
}

// Escape sequences typed by a player reach neither another player's
// terminal nor the log, and a long line is cut short in the log.
TEST_F(ServerTest, WhatPlayersTypeCannotSteerOthers) {
    Process server({adventure(), "-server", "-mud"});
    TcpClient anna(port), bruno(port);
    join(anna, "Anna", true);
    join(bruno, "Bruno", true);
    anna.send("parla bruno\r\n");
    anna.until("Cosa gli devo dire? ");
    anna.send("\x1B]0;preso!\x07"
              "ciao \xFE\xC3\x80 \x1B[2Jbruno\r\n");
    anna.until(PROMPT);
    anna.send(std::string(3000, 'z') + "\x1B[31m\r\n");
    anna.until(PROMPT);
    // A line is one command however long, up to the limit; past it, none.
    anna.send("guarda" + std::string(300, ' ') + "\r\n");
    std::string looked = anna.until(PROMPT);
    EXPECT_NE(looked.find("Vedo una lanterna."), std::string::npos) << looked;
    EXPECT_EQ(looked.find("Beh?"), std::string::npos) << looked;
    anna.send(std::string(5000, 'z') + "\r\n");
    EXPECT_EQ(anna.until(PROMPT).substr(5000),
              "\r\r\n- La riga e' troppo lunga (piu' di 4096 byte): non ne ho fatto nulla.\r\n" +
                  PROMPT);
    bruno.send("cosa\r\n");
    std::string heard = bruno.until(PROMPT);
    // A byte that is no UTF-8 reaches nobody raw, nor harms the letter after it.
    EXPECT_NE(heard.find("Anna dice << ciao \xEF\xBF\xBD\xC3\x80 bruno >>."), std::string::npos)
        << heard;
    EXPECT_EQ(heard.find('\x1B'), std::string::npos);
    EXPECT_EQ(heard.find('\a'), std::string::npos);
    bool cut = false;
    for (const auto& row : log()) {
        EXPECT_EQ(row.find('\x1B'), std::string::npos) << row;
        EXPECT_TRUE(zanfir::Util::isUtf8(row)) << row;
        EXPECT_LT(row.size(), 300u);
        cut = cut || row.find("ZZZZ... [tagliato]") != std::string::npos;
    }
    EXPECT_TRUE(cut);
}

// The server's connections with a timer of this kind running ("tr" in
// /proc/net/tcp6: 2 is the keepalive timer).
int serverSocketsWithTimer(int port, int kind) {
    std::ifstream table("/proc/net/tcp6");
    std::string line;
    std::getline(table, line);
    int found = 0;
    char local[8];
    std::snprintf(local, sizeof local, ":%04X", port);
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, mine, theirs, state, queues, timer;
        fields >> slot >> mine >> theirs >> state >> queues >> timer;
        if (mine.ends_with(local) && state == "01" && timer.starts_with("0" + std::to_string(kind)))
            ++found;
    }
    return found;
}

// Clients that say nothing are shown the door: at the login, and while
// playing when the host asks for it. Links are watched by keepalive probes.
TEST_F(ServerTest, SilentClientsAreClosed) {
    Process server({adventure("LoginTimeout=1\nIdleTimeout=1\n"), "-server", "-mud"});
    TcpClient silent(port), talker(port);
    silent.until(NAME);
    auto start = std::chrono::steady_clock::now();
    talker.until(NAME);
    talker.send("Bru"); // half a name is no login either
    EXPECT_NE(silent.until("arrivederci!\r\n").find("- E' passato troppo tempo senza una risposta"),
              std::string::npos);
    EXPECT_TRUE(silent.closedByServer());
    EXPECT_TRUE(talker.closedByServer());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1900));
    TcpClient player(port);
    join(player, "Anna", true);
    for (int i = 0; i < 4; ++i) { // a player who plays stays
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        player.send("guarda\r\n");
        player.until(PROMPT);
    }
    EXPECT_EQ(serverSocketsWithTimer(port, 2), 1); // Anna's link, probed
    auto silence = std::chrono::steady_clock::now();
    for (int i = 0; i < 5; ++i) { // a client's telnet NOPs keep nobody in
        player.send("\xff\xf1");
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    EXPECT_TRUE(player.closedByServer(std::chrono::seconds(3)));
    EXPECT_LT(std::chrono::steady_clock::now() - silence, std::chrono::milliseconds(1900));
    EXPECT_TRUE(logged("Chiusa la connessione silenziosa con l'IP '127.0.0.1'"));
}

// Connections past the caps are turned away with a word, and logged.
TEST_F(ServerTest, ConnectionsAreCapped) {
    std::string main = adventure("MaxConnectionsPerAddress=2\n");
    {
        Process server({main, "-server"});
        TcpClient first(port), second(port), third(port);
        first.until(NAME);
        second.until(NAME);
        EXPECT_NE(third.until("\r\n").find("- Troppe connessioni dal tuo indirizzo"),
                  std::string::npos);
        EXPECT_TRUE(third.closedByServer());
        first.close();
        EXPECT_TRUE(waitUntil([&] {
            TcpClient again(port);
            return again.tryUntil(NAME, std::chrono::milliseconds(500)).has_value();
        }));
        EXPECT_TRUE(logged("WARN Rifiutata una connessione con l'IP 127.0.0.1: troppe connessioni "
                           "dallo stesso indirizzo"));
    }
    writeFile(main, *zanfir::Util::replace(readFile(main), "MaxConnectionsPerAddress=2",
                                           "MaxConnections=1"));
    Process server({main, "-server"});
    TcpClient first(port), second(port);
    first.until(NAME);
    EXPECT_NE(second.until("\r\n").find("- Il server e' al completo: riprova piu' tardi."),
              std::string::npos);
    EXPECT_TRUE(logged("Rifiutata una connessione con l'IP 127.0.0.1: server al completo"));
}

// Guessing passwords online is slow and short: a wrong one costs the
// guesser a second (and nobody else anything), three close the connection.
// Ten at one name lock that name for the address they came from (an IPv6
// client's /64), its right password included, while the household plays on
// with other names; past AddressLockoutFailures at any names the whole
// address is shut out, on the connections it opened before too. A guess at
// a playing player's password ends nothing of his.
class PasswordGuessingTest : public ServerTest,
                             public ::testing::WithParamInterface<const char*> {};

TEST_P(PasswordGuessingTest, IsSlowedAndCut) {
    const std::string from = GetParam();
    auto client = [&] { return std::make_unique<TcpClient>(port, std::chrono::seconds(2), from); };
    Process server({adventure("AddressLockoutFailures=13\n"), "-server", "-mud"});
    {
        TcpClient bruno(port); // then offline
        join(bruno, "Bruno", true);
    }
    TcpClient anna(port);
    join(anna, "Anna", true);
    auto early = client(); // sits at the question of the name all along
    if (!early->connected())
        GTEST_SKIP() << "no " << from << " here";
    early->until(NAME);
    std::atomic<int> slow{0}, cut{0};
    auto guess = [&](const std::string& name, int first) {
        auto guesser = client();
        guesser->until(NAME);
        for (int guess = 0; guess < 3; ++guess) {
            guesser->send(name + "\r\n");
            guesser->until(PASSWORD);
            guesser->send("tentativo" + std::to_string(first + guess) + "\r\n");
            auto sent = std::chrono::steady_clock::now();
            if (guess < 2) {
                guesser->until(NAME);
                slow += std::chrono::steady_clock::now() - sent >= std::chrono::milliseconds(990);
            }
        }
        std::string last = guesser->until("arrivederci.\r\n");
        cut += last.find("- Tre password sbagliate") != std::string::npos;
        cut += guesser->closedByServer();
    };
    std::vector<std::thread> guessers;
    for (int g = 0; g < 3; ++g)
        guessers.emplace_back(guess, "Bruno", g * 3);
    for (int i = 0; i < 5; ++i) { // meanwhile Anna plays at her pace
        auto sent = std::chrono::steady_clock::now();
        anna.send("guarda\r\n");
        EXPECT_EQ(anna.until(PROMPT).find("Sei entrato di nuovo"), std::string::npos);
        EXPECT_LT(std::chrono::steady_clock::now() - sent, std::chrono::milliseconds(300));
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    for (auto& guesser : guessers)
        guesser.join();
    EXPECT_EQ(slow, 6);
    EXPECT_EQ(cut, 6);
    // The tenth failure at Bruno locks his name here, unasked for a password.
    const std::string locked = "- Troppe password sbagliate per questo nome da questo indirizzo";
    auto tenth = client();
    tenth->until(NAME);
    tenth->send("Bruno\r\nancora\r\n");
    EXPECT_NE(tenth->until(NAME).find("- Mi dispiace"), std::string::npos);
    tenth->send("bruno\r\n");
    std::string refused = tenth->until(NAME);
    EXPECT_NE(refused.find(locked), std::string::npos) << refused;
    EXPECT_EQ(refused.find(PASSWORD), std::string::npos) << refused;
    tenth->send("Carla\r\nsegreto\r\nsegreto\r\n"); // the household plays on
    tenth->until(PROMPT);
    early->send("Bruno\r\n"); // the right password would not be checked
    refused = early->until(NAME);
    EXPECT_NE(refused.find(locked), std::string::npos) << refused;
    // Three more at another name pass AddressLockoutFailures: the address is
    // out, a password asked before unchecked (Anna's right one here).
    early->send("Anna\r\n");
    early->until(PASSWORD);
    guess("Anna", 10);
    EXPECT_EQ(slow, 8);
    EXPECT_EQ(cut, 8);
    early->send("segreto\r\n");
    refused = early->until("indirizzo: riprova piu' tardi.\r\n");
    EXPECT_NE(refused.find("- Troppe password sbagliate da questo indirizzo"), std::string::npos);
    EXPECT_EQ(refused.find("- Ciao di nuovo"), std::string::npos) << refused;
    EXPECT_EQ(refused.find(locked), std::string::npos) << refused; // the address is said
    EXPECT_TRUE(early->closedByServer());
    int failures = 0;
    for (const auto& row : log())
        failures += row.find("WARN Password sbagliata per '") != std::string::npos &&
                    row.find("' dall'IP " + from) != std::string::npos;
    EXPECT_EQ(failures, 13);
    auto late = client(); // and so it stays for a while
    EXPECT_NE(late->until("\r\n").find("- Troppe password sbagliate da questo indirizzo"),
              std::string::npos);
    EXPECT_TRUE(late->closedByServer());
    anna.send("guarda\r\n"); // who is in stays in
    EXPECT_EQ(anna.until(PROMPT).find("Sei entrato di nuovo"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(FromAnAddress, PasswordGuessingTest, ::testing::Values("127.0.0.1", "::1"),
                         [](const auto& info) {
                             return std::string(info.param == std::string("::1") ? "IPv6" : "IPv4");
                         });

// Behind a TLS proxy listed in TelnetProxies the client is the one its
// PROXY header names, in the log and at the gatekeeper; a proxy's
// connection without a valid header is closed; anyone else's header is
// only a line typed.
TEST_F(ServerTest, PlayersBehindAProxyKeepTheirAddresses) {
    Process server({adventure("TelnetProxies=10.0.0.1, 127.0.0.1\n"), "-server", "-mud"});
    TcpClient anna(port);
    anna.send("PROXY TCP4 203.0.113.9 127.0.0.1 5555 " + std::to_string(port) + "\r\n");
    anna.until(NAME);
    answer(anna, "Anna", "segreto", AGAIN);
    anna.send("segreto\r\n");
    anna.until(PROMPT);
    TcpClient guesser(port);
    guesser.send(std::string("\r\n\r\n\0\r\nQUIT\n\x21\x11\x00\x0c", 16) +
                 std::string("\xc6\x33\x64\x07\x7f\x00\x00\x01\x15\xb3\x00\x17", 12));
    guesser.until(NAME);
    answer(guesser, "Anna", "sbagliata", NAME);
    EXPECT_TRUE(logged("Password sbagliata per 'Anna' dall'IP 198.51.100.7"));
    EXPECT_TRUE(logged("Aperta una connessione con l'IP 203.0.113.9"));
    TcpClient bad(port);
    bad.send("Anna\r\n");
    EXPECT_TRUE(bad.closedByServer());
    EXPECT_TRUE(logged("nessuna intestazione PROXY valida dal proxy 127.0.0.1"));
    TcpClient direct(port, std::chrono::seconds(2), "::1");
    if (direct.connected()) {
        direct.until(NAME);
        direct.send("PROXY TCP4 203.0.113.9 127.0.0.1 5555 23\r\n");
        EXPECT_NE(direct.until(NAME).find("- Usa nomi di una sola parola"), std::string::npos);
    }
}

// One address makes at most NewPlayersPerMinute new players a minute; known
// players still log in.
TEST_F(ServerTest, NewPlayersAreThrottled) {
    Process server({adventure(), "-server", "-mud"});
    for (const char* name : {"Anna", "Bruno", "Carla"}) {
        TcpClient player(port);
        join(player, name, true);
    }
    TcpClient client(port);
    client.until(NAME);
    client.send("Dario\r\n"); // told before a password is asked
    std::string refused = client.until(NAME);
    EXPECT_NE(refused.find("- Troppi nuovi giocatori da questo indirizzo"), std::string::npos);
    EXPECT_EQ(refused.find(PASSWORD), std::string::npos) << refused;
    client.send("Bruno\r\nsegreto\r\n");
    EXPECT_NE(client.until(PROMPT).find("- Ciao di nuovo, Bruno!"), std::string::npos);
}

// A player whose link died logs in again: the new connection takes the
// player over where they were, the old one is told and closed.
TEST_F(ServerTest, APlayerComingBackTakesOver) {
    Process server({adventure(), "-server", "-mud"});
    TcpClient before(port);
    join(before, "Anna", true);
    before.send("prendi lanterna\r\nnord\r\n");
    before.until(PROMPT);
    before.until(PROMPT); // and then nothing more is heard from it
    TcpClient guesser(port);
    guesser.until(NAME);
    guesser.send("Anna\r\nsbagliata\r\n");
    EXPECT_NE(guesser.until(NAME).find("- Mi dispiace, la password non e' corretta."),
              std::string::npos);
    // A wrong password takes nothing over: the link was alive after all.
    before.send("cosa\r\n");
    std::string still = before.until(PROMPT);
    EXPECT_NE(still.find("- una lanterna"), std::string::npos) << still;
    EXPECT_EQ(still.find("Sei entrato di nuovo"), std::string::npos) << still;
    TcpClient after(port);
    after.until(NAME);
    std::string back = answer(after, "Anna", "segreto", PROMPT);
    EXPECT_NE(back.find("Sei in una grande sala."), std::string::npos) << back;
    EXPECT_NE(before.until("questa si chiude.\r\n")
                  .find("- Sei entrato di nuovo da un'altra "
                        "connessione"),
              std::string::npos);
    EXPECT_TRUE(before.closedByServer());
    after.send("cosa\r\n");
    EXPECT_NE(after.until(PROMPT).find("- una lanterna"), std::string::npos);
}

// Behind RemotePasswords a name's saved game is kept under the password
// chosen at its first save; without it, anyone who types the name plays it.
TEST_F(ServerTest, SavedGamesUnderAPassword) {
    std::string main = adventure("RemotePasswords=TRUE\n");
    std::string game = dir.file("anna.context"), aside = dir.file("aside");
    {
        Process server({main, "-server"});
        int withAnna = 0;
        {
            TcpClient anna(port);
            join(anna, "Anna", false);
            anna.send("prendi lanterna\r\nsalva\r\n");
            EXPECT_NE(anna.until(PASSWORD).find("- Scegli una password per le partite salvate"),
                      std::string::npos);
            anna.send("segreto\r\n");
            anna.until(AGAIN);
            anna.send("diverso\r\n");
            EXPECT_NE(anna.until(PASSWORD).find("- La seconda volta hai scritto"),
                      std::string::npos);
            anna.send("segreto\r\n");
            anna.until(AGAIN);
            anna.send("segreto\r\n");
            anna.until(PROMPT);
            std::string saved = readFile(game);
            EXPECT_NE(saved.find("$argon2id$"), std::string::npos);
            EXPECT_EQ(saved.find("segreto"), std::string::npos);
            anna.send("salva\r\n"); // asked once a session
            EXPECT_EQ(anna.until(PROMPT).find(PASSWORD), std::string::npos);
            withAnna = openFiles(server.pid());
        }
        // Her name is free again once her session has let its connection go.
        ASSERT_TRUE(waitUntil([&] { return openFiles(server.pid()) < withAnna; }));

        TcpClient later(port);
        later.until(NAME);
        EXPECT_NE(answer(later, "anna", "indovino", NAME)
                      .find("- Mi dispiace, la password non e' corretta."),
                  std::string::npos);
        answer(later, "anna", "segreto", PROMPT);
        later.send("carica\r\ncosa\r\n");
        later.until(PROMPT);
        EXPECT_NE(later.until(PROMPT).find("- una lanterna"), std::string::npos);
        later.send("basta\r\nsi\r\n\r\n");
        EXPECT_TRUE(later.closedByServer());

        // A session that came in while the game had no password is asked too.
        ASSERT_EQ(std::rename(game.c_str(), aside.c_str()), 0);
        TcpClient early(port);
        join(early, "Anna", false);
        ASSERT_EQ(std::rename(aside.c_str(), game.c_str()), 0);
        early.send("carica\r\n");
        early.until(PASSWORD);
        early.send("indovino\r\n");
        std::string refused = early.until(PROMPT);
        EXPECT_NE(refused.find("- Mi dispiace, la password non e' corretta."), std::string::npos);
        EXPECT_NE(refused.find("- Errore durante l'accesso al file."), std::string::npos);
        early.send("cosa\r\n");
        EXPECT_EQ(early.until(PROMPT).find("- una lanterna"), std::string::npos);
        // Nor may it save over the game without the password.
        std::string kept = readFile(game);
        early.send("salva\r\n");
        EXPECT_EQ(early.until(PASSWORD).find("- Scegli una password"), std::string::npos);
        early.send("indovino\r\n");
        EXPECT_NE(early.until(PROMPT).find("- Mi dispiace, la password non e' corretta."),
                  std::string::npos);
        EXPECT_EQ(readFile(game), kept);
        int failures = 0;
        for (const auto& row : log())
            failures += row.find("WARN Password sbagliata per 'Anna' dall'IP 127.0.0.1") !=
                        std::string::npos;
        EXPECT_EQ(failures, 3);
    }
    writeFile(main, *zanfir::Util::replace(readFile(main), "RemotePasswords=TRUE",
                                           "RemotePasswords=FALSE"));
    Process server({main, "-server"});
    TcpClient anyone(port);
    join(anyone, "Anna", false);
    anyone.send("carica\r\ncosa\r\n");
    anyone.until(PROMPT);
    EXPECT_NE(anyone.until(PROMPT).find("- una lanterna"), std::string::npos);
}

// The admin program works on a stopped world's players, and keeps off a
// running one, as a second server does.
TEST_F(ServerTest, TheAdminProgramLooksAfterPlayers) {
    std::string main = adventure();
    auto admin = [&](const std::vector<std::string>& args, const std::string& input = "") {
        std::vector<std::string> all{main};
        all.insert(all.end(), args.begin(), args.end());
        return runProgram(ZANFIR_ADMIN_BIN, all, input);
    };
    {
        Process server({main, "-server", "-mud"});
        TcpClient anna(port), bruno(port);
        join(anna, "Anna", true);
        join(bruno, "Bruno", true);
        anna.send("prendi lanterna\r\nnord\r\n");
        anna.until(PROMPT);
        anna.until(PROMPT);
        RunResult refused = admin({"list"});
        EXPECT_EQ(refused.status, 1);
        EXPECT_NE(refused.err.find("e' in uso: un server di questa avventura e' in funzione."),
                  std::string::npos)
            << refused.err;
        RunResult second = runProgram(ZANFIR_BIN, {main, "-server", "-mud"});
        EXPECT_EQ(second.status, 1);
        EXPECT_NE(second.err.find("e' in uso"), std::string::npos) << second.err;
        server.kill(); // what the journal holds is the admin's too
    }
    RunResult list = admin({"list"});
    EXPECT_EQ(list.status, 0);
    EXPECT_EQ(list.out, "Anna\tSALA\tLANTERNA\nBruno\tINGRESSO\t\n");
    EXPECT_EQ(admin({"move", "anna", "torre"}).out, "Anna ora e' in TORRE\n");
    EXPECT_EQ(admin({"move", "Anna", "cantina"}).err, "errore: Locazione inesistente: 'CANTINA'\n");
    EXPECT_EQ(admin({"remove", "Carla"}).err, "errore: giocatore inesistente: 'Carla'\n");
    EXPECT_EQ(admin({"reset-password", "bruno"}, "no\n").status, 1); // too short
    EXPECT_EQ(admin({"reset-password", "bruno"}, "nuova\n").out, "password cambiata: Bruno\n");
    EXPECT_EQ(admin({"rename", "Bruno"}).status, 2);
    EXPECT_EQ(admin({}).err.find("Sintassi: zanfir-admin"), 0u);
    {
        Process server({main, "-server", "-mud"});
        TcpClient anna(port), bruno(port);
        anna.until(NAME);
        anna.send("Anna\r\nsegreto\r\n");
        EXPECT_NE(anna.until(PROMPT).find("Sei in cima alla torre."), std::string::npos);
        bruno.until(NAME);
        bruno.send("Bruno\r\nsegreto\r\n");
        EXPECT_NE(bruno.until(NAME).find("- Mi dispiace"), std::string::npos);
        bruno.send("Bruno\r\nnuova\r\n");
        bruno.until(PROMPT);
        server.signal(SIGTERM);
        EXPECT_EQ(server.finish().status, 0);
    }
    EXPECT_EQ(admin({"remove", "ANNA"}).out,
              "giocatore rimosso: Anna\noggetti lasciati in TORRE: LANTERNA\n");
    EXPECT_EQ(admin({"list"}).out, "Bruno\tINGRESSO\t\n");
    auto state = zanfir::ContextFile::read(dir.file("castello.gcontext"));
    EXPECT_EQ(state->getString("GLOBAL.ITEMS.LANTERNA.LOCATION"), "TORRE");
    EXPECT_FALSE(fileExists(dir.file("castello.gcontext.journal")));
}

// A client that sends faster than CommandsPerSecond waits for its turn;
// nothing it sent is lost.
TEST_F(ServerTest, CommandsArePaced) {
    Process server({adventure("CommandsPerSecond=40\n"), "-server"});
    TcpClient player(port);
    join(player, "Anna", false);
    std::string many;
    for (int i = 0; i < 60; ++i)
        many += "guarda\r\n";
    auto start = std::chrono::steady_clock::now();
    player.send(many);
    for (int i = 0; i < 60; ++i)
        player.until(PROMPT);
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GT(took, std::chrono::milliseconds(1150)); // ten at once, then forty a second
    EXPECT_LT(took, std::chrono::seconds(4));
}

TEST_F(ServerTest, TheBundledGameIsSharedSensibly) {
    Process server({adventure("", "miniera", true), "-server", "-mud"});
    TcpClient anna(port), bruno(port);
    // The title and the welcome come first, then what a new name is to do.
    std::string greeting = anna.until(NAME);
    EXPECT_NE(greeting.find("\r\nLa miniera di Santa Barbara\r\nBenvenuti a Pietracava"),
              std::string::npos)
        << greeting;
    anna.send("Anna\r\n");
    std::string asked = anna.until(PASSWORD);
    EXPECT_NE(asked.find("- E' un nome nuovo: scegli la sua password, di almeno 4"),
              std::string::npos)
        << asked;
    anna.send("segreto\r\n");
    anna.until(AGAIN);
    // Nobody carries the letter: the introduction does not say so, and the
    // letter is remembered.
    anna.send("segreto\r\n");
    std::string intro = anna.until(PROMPT);
    EXPECT_EQ(intro.find("consegnato una lettera"), std::string::npos) << intro;
    EXPECT_NE(intro.find("Il notaio ti ha letto"), std::string::npos) << intro;
    EXPECT_NE(intro.find("RICORDA LA LETTERA"), std::string::npos) << intro;
    join(bruno, "Bruno", true);
    auto say = [](TcpClient& client, const std::string& command) {
        client.send(command + "\r\n");
        return client.until(PROMPT);
    };
    EXPECT_NE(say(anna, "cosa").find("- Un bel niente."), std::string::npos);
    EXPECT_NE(say(anna, "ricorda la lettera").find("«Caro nipote,"), std::string::npos);
    EXPECT_NE(say(bruno, "leggi la lettera").find("ma tu la ricordi parola per parola:"),
              std::string::npos);

    // The inn is where they meet and hand things over; the matches are
    // Gustavo's, and he is glad to have them back.
    say(anna, "est");
    EXPECT_NE(say(bruno, "est").find("Qui c'e' Anna."), std::string::npos);
    EXPECT_NE(say(anna, "prendi i fiammiferi").find("Fatto."), std::string::npos);
    // Handed to another player, they pass into his hands, Gustavo aside.
    std::string given = say(anna, "dai i fiammiferi a bruno");
    EXPECT_NE(given.find("- Fatto: ora ce l'ha Bruno."), std::string::npos) << given;
    EXPECT_EQ(given.find("«Grazie!"), std::string::npos) << given;
    std::string got = say(bruno, "cosa");
    EXPECT_NE(got.find("- Anna ti da' una scatola di fiammiferi."), std::string::npos) << got;
    EXPECT_NE(got.find("- una scatola di fiammiferi"), std::string::npos) << got;
    EXPECT_NE(say(anna, "dai i fiammiferi a bruno").find("- Non ne possiedi."), std::string::npos);
    EXPECT_NE(say(bruno, "dai i fiammiferi al bancone").find("- Non sa che farsene."),
              std::string::npos);
    say(anna, "ovest");
    EXPECT_NE(say(bruno, "dai i fiammiferi ad anna").find("- Qui non c'e'."), std::string::npos);
    say(anna, "est");
    say(bruno, "dai i fiammiferi ad anna");
    std::string handed = say(anna, "dai i fiammiferi a gustavo");
    EXPECT_NE(handed.find("«Grazie! Sei di parola"), std::string::npos) << handed;
    EXPECT_EQ(handed.find("Gustavo annuisce"), std::string::npos) << handed;
    EXPECT_NE(say(bruno, "prendi i fiammiferi").find("Fatto."), std::string::npos);
    // What others have seen is not taken back; a command is repeated.
    EXPECT_NE(say(bruno, "annulla").find("- In un mondo condiviso non si torna indietro."),
              std::string::npos);
    EXPECT_NE(say(bruno, "cosa").find("- una scatola di fiammiferi"), std::string::npos);
    EXPECT_NE(say(bruno, "ancora").find("- una scatola di fiammiferi"), std::string::npos);

    // A hidden item found by one player is there for the other; who has
    // left a place is no longer seen there.
    for (const char* way : {"ovest", "nord", "est"})
        say(anna, way);
    EXPECT_EQ(say(bruno, "guarda").find("Qui c'e' Anna."), std::string::npos);
    EXPECT_NE(say(anna, "cerca nella cenere").find("È una grossa chiave di ferro!"),
              std::string::npos);
    for (const char* way : {"ovest", "nord"})
        say(bruno, way);
    std::string hut = say(bruno, "est");
    EXPECT_NE(hut.find("Vedo una grossa chiave di ferro."), std::string::npos) << hut;
    EXPECT_NE(hut.find("Qui c'e' Anna."), std::string::npos);
    EXPECT_NE(say(bruno, "cerca nella cenere").find("Nella cenere non c'è altro."),
              std::string::npos);
    // The helmet comes out of the chest onto the finder's head.
    EXPECT_NE(say(bruno, "apri la cassapanca").find("Sollevi il coperchio"), std::string::npos);
    std::string chest = say(anna, "apri la cassapanca");
    EXPECT_NE(chest.find("solo odore di naftalina"), std::string::npos) << chest;
    EXPECT_EQ(chest.find("elmetto"), std::string::npos) << chest;
    // Whatever else is left in the inn, Gustavo keeps an eye on.
    for (const char* way : {"ovest", "sud", "est"})
        say(bruno, way);
    std::string left = say(bruno, "lascia l'elmetto");
    EXPECT_NE(left.find("Gustavo annuisce"), std::string::npos) << left;
    EXPECT_NE(left.find("Vedo l'elmetto del nonno."), std::string::npos) << left;
    // Scores are each player's own.
    EXPECT_NE(say(bruno, "punteggio").find("Hai 0 punti su 10"), std::string::npos);
}

TEST_F(ServerTest, ClientsThatMisbehave) {
    Process server({adventure(), "-server", "-mud"});
    TcpClient steady(port);
    join(steady, "Anna", true);
    int baseline = openFiles(server.pid());

    // Clients that leave during the login, send garbage or endless lines.
    for (int i = 0; i < 20; ++i) {
        TcpClient quitter(port);
        quitter.until(NAME);
        if (i % 4 == 1)
            quitter.send(std::string("\xff\xfb\x01\x00garbage", 11));
        if (i % 4 == 2)
            quitter.send(std::string(100000, 'x'));
        if (i % 4 == 3)
            quitter.send("Bruno\r\nabc");
    }
    TcpClient rude(port);
    rude.until(NAME);
    rude.send(std::string(300, 'c') + "\r\n"); // a name of twenty letters at the most
    EXPECT_NE(rude.until(NAME).find("- Usa nomi di al massimo 20 lettere, per favore."),
              std::string::npos);
    rude.send("Carlottaèpiùlungadite\r\n");
    rude.until(NAME);
    rude.send("Carlottaèpiùlungadit\r\nsegreto\r\nsegreto\r\n"); // twenty, and more bytes
    rude.until(PROMPT);
    rude.send(std::string("\x01\x02\xfe\xfd nord\r\n"));
    rude.until(PROMPT);
    rude.close(); // in the middle of the game

    steady.send("guarda\r\n");
    EXPECT_NE(steady.until(PROMPT).find("Sei nell'ingresso."), std::string::npos);
    // Every connection that ended gave its socket back (the log and the
    // state file are open only for moments).
    EXPECT_TRUE(waitUntil([&] { return openFiles(server.pid()) <= baseline; }))
        << openFiles(server.pid()) << " open, " << baseline << " before";
}

// Clients that never read what the server sends, while their commands print
// a lot and pause: they hold nobody up, and are cut off once their output
// piles up past the queue's limit.
TEST_F(ServerTest, ClientsThatDoNotReadStallNobody) {
    std::string main = adventure("RemoteOutQueue=65536\nRemoteSendTimeout=20\n");
    writeFile(dir.file("castello.actionset"), readFile(dir.file("castello.actionset")) +
                                                  "\n[ACTIONS]\n*:ACCENDI={println '" +
                                                  std::string(32000, 'a') + "'}{sleep 0.01}\n");
    Process server({main, "-server"});
    std::vector<std::unique_ptr<TcpClient>> deaf;
    std::string commands;
    for (int i = 0; i < 250; ++i) // more than the kernel holds for them, some MiB
        commands += "accendi\r\n";
    for (const char* name : {"Anna", "Carla", "Dario", "Elena"}) { // as many as most turns
        deaf.push_back(std::make_unique<TcpClient>(port));
        deaf.back()->send(name + std::string("\r\n") + commands);
    }
    TcpClient player(port);
    join(player, "Bruno", false);
    for (int i = 0; i < 10; ++i) {
        player.send("guarda\r\n");
        player.until(PROMPT, std::chrono::seconds(3));
    }
    EXPECT_TRUE(waitUntil([&] {
        int cut = 0;
        for (const auto& row : log())
            cut += row.find("il client non legge quello che riceve") != std::string::npos;
        return cut == 4;
    }));
}

// A player who talks and talks to one who does not listen: the sentences
// waiting for the listener are capped, and so is the server's memory.
TEST_F(ServerTest, AFloodOfSentencesIsBounded) {
    Process server({adventure("CommandsPerSecond=100000\n"), "-server", "-mud"});
    TcpClient anna(port), bruno(port);
    join(anna, "Anna", true);
    join(bruno, "Bruno", true);
    long before = residentKiB(server.pid());
    const std::string sentence(4000, 'b');
    for (int round = 0; round < 100; ++round) {
        for (int i = 0; i < 50; ++i)
            bruno.send("parla anna\r\n" + sentence + "\r\n");
        for (int i = 0; i < 50; ++i)
            bruno.until(PROMPT);
    }
    // 20 MB said; what waits is 64 KiB at the most.
#ifndef ZANFIR_SANITIZED
    EXPECT_LT(residentKiB(server.pid()) - before, 8 * 1024);
#else
    (void)before;
#endif
    anna.send("guarda\r\n");
    std::string heard = anna.until(PROMPT);
    std::size_t count = 0;
    for (auto at = heard.find("Bruno dice <<"); at != std::string::npos;
         at = heard.find("Bruno dice <<", at + 1))
        ++count;
    EXPECT_EQ(count, 16u) << heard.substr(0, 300); // 16 sentences of 4000 bytes fill 64 KiB
}

// The operator learns on standard error that the shared world cannot be
// saved: at the start, the server does not start; during play, once when
// saving fails and once when it works again.
// A state file that lost its world is refused at start-up and left as it
// is; a player whose place is no name starts again at the beginning, with a
// WARN that names them.
TEST_F(ServerTest, DamagedStateFiles) {
    std::string main = adventure();
    const std::string state = dir.file("castello.gcontext");
    const std::string bare =
        R"({"format": "zanfir-context", "version": 1, "context": {"USER": {}}})";
    writeFile(state, bare);
    RunResult refused = runZanfir({main, "-server", "-mud"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err, "Eccezione SerializationException: Lo stato condiviso non ha la parte "
                           "GLOBAL (il file resta com'e'): '" +
                               state + "'\n");
    EXPECT_EQ(readFile(state), bare);
    ::unlink(state.c_str());

    {
        Process server({main, "-server", "-mud"});
        TcpClient anna(port);
        join(anna, "Anna", true);
        anna.send("nord\r\n");
        anna.until(PROMPT);
    }
    std::string saved = readFile(state);
    const std::string place = "\"LOCATION\": \"SALA\"";
    auto at = saved.find(place);
    ASSERT_NE(at, std::string::npos) << saved;
    writeFile(state, saved.replace(at, place.size(), "\"LOCATION\": 7"));
    Process server({main, "-server", "-mud"});
    TcpClient anna(port);
    anna.until(NAME);
    std::string back = answer(anna, "Anna", "segreto", PROMPT);
    EXPECT_NE(back.find("Sei nell'ingresso."), std::string::npos) << back;
    EXPECT_TRUE(waitUntil([&] {
        return logged("WARN Giocatore spostato alla locazione iniziale, la sua non e' il nome di "
                      "un luogo: 'Anna'");
    }));
    anna.send("nord\r\n"); // the place was repaired: the player moves on from it
    EXPECT_NE(anna.until(PROMPT).find("Sei in una grande sala."), std::string::npos);
}

TEST_F(ServerTest, AServerThatCannotSaveSaysSo) {
    std::string main = adventure("CheckpointSeconds=1\n");
    if (!setReadOnly(dir.path(), true))
        GTEST_SKIP() << "no read-only folder here";
    RunResult refused = runZanfir({main, "-server", "-mud"});
    setReadOnly(dir.path(), false);
    EXPECT_EQ(refused.status, 1);
    EXPECT_TRUE(refused.err.starts_with(
        "Eccezione SerializationException: " + dir.file("castello.gcontext") + ".lock: "))
        << refused.err;

    Process server({main, "-server", "-mud"});
    TcpClient anna(port);
    join(anna, "Anna", true);
    ASSERT_TRUE(waitUntil([&] { return fileExists(dir.file("castello.gcontext")); }));
    setReadOnly(dir.path(), true);
    auto count = [&](const std::string& text) {
        std::string err = server.err();
        int found = 0;
        for (auto at = err.find(text); at != std::string::npos; at = err.find(text, at + 1))
            ++found;
        return found;
    };
    for (const char* command : {"nord", "sud", "nord"}) {
        anna.send(std::string(command) + "\r\n");
        anna.until(PROMPT);
    }
    EXPECT_TRUE(waitUntil([&] { return count("Eccezione SerializationException") > 0; }));
    setReadOnly(dir.path(), false);
    anna.send("sud\r\n");
    anna.until(PROMPT);
    EXPECT_TRUE(
        waitUntil([&] { return count("Lo stato del mondo condiviso si salva di nuovo") == 1; }));
    EXPECT_EQ(count("Eccezione SerializationException"), 1);
    EXPECT_TRUE(logged("FAIL Eccezione SerializationException"));
}

// SIGTERM, SIGINT and SIGHUP stop a server cleanly: the command that runs
// finishes, every player is told, the world is saved, the status is 0, and
// a client that does not read does not hold the stop up.
TEST_F(ServerTest, StopsCleanlyOnASignal) {
    std::string main = adventure();
    writeFile(dir.file("castello.actionset"),
              readFile(dir.file("castello.actionset")) +
                  "\n[ACTIONS]\n*:ACCENDI={sleep 0.5; SPADA.take}Acceso.\n");
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        for (const char* file : {"castello.gcontext", "castello.gcontext.journal"})
            std::remove(dir.file(file).c_str());
        Process server({main, "-server", "-mud"});
        TcpClient anna(port), deaf(port);
        join(anna, "Anna", true);
        deaf.send("Bruno\r\nsegreto\r\nsegreto\r\n");
        anna.send("prendi lanterna\r\n");
        anna.until(PROMPT);
        anna.send("accendi\r\n");
        anna.until("accendi\r\r\n"); // the echo: the command runs
        auto start = std::chrono::steady_clock::now();
        server.signal(signal);
        std::string last = anna.until("- Il server si ferma. A presto!\r\n");
        EXPECT_NE(last.find("Acceso."), std::string::npos) << last;
        EXPECT_TRUE(anna.closedByServer());
        RunResult stopped = server.finish(std::chrono::seconds(10));
        EXPECT_EQ(stopped.status, 0) << signal;
        EXPECT_TRUE(std::regex_search(
            stopped.out, std::regex("\nServer fermato in [0-9]+,[0-9]{2} s: mondo salvato, con 2 "
                                    "giocatori \\(in gioco: [12]\\)\\.\n$")))
            << stopped.out;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(6));
        auto state = zanfir::ContextFile::read(dir.file("castello.gcontext"));
        EXPECT_TRUE(state->getBoolean("USER.1.INVENTORY.LANTERNA"));
        EXPECT_TRUE(state->getBoolean("USER.1.INVENTORY.SPADA")); // taken by the last command
        EXPECT_TRUE(logged("INFO Server fermato"));
    }
}

// Players whose clients negotiated hear what others say to them, and who
// comes and goes where they are, at once, idle or halfway through typing a
// line; nothing of it comes again with their next command. A raw client
// reads it all with its next command, as ever.
TEST_F(ServerTest, WhatOthersSayAndDoArrivesAtOnce) {
    Process server({adventure(), "-server", "-mud"});
    const std::string IAC = "\xff";
    auto speaking = [&](TcpClient& client, const std::string& name) {
        client.until(NAME);
        client.send(IAC + "\xfb\x1f" + name + "\r\nsegreto\r\nsegreto\r\n"); // WILL NAWS
        client.until(PROMPT);
    };
    auto nothing = [](TcpClient& client) {
        return client.within(std::chrono::milliseconds(300)).empty();
    };
    TcpClient anna(port), bruno(port), carla(port);
    speaking(anna, "Anna");
    speaking(bruno, "Bruno");
    join(carla, "Carla", true); // raw
    bruno.send("parla\r\n");
    bruno.until("Cosa devo dire? ");
    bruno.send("ciao a tutti!\r\n");
    bruno.until(PROMPT);
    EXPECT_EQ(anna.until(PROMPT), "\r\nBruno dice << ciao a tutti! >>.\r\n\r\n" + PROMPT);
    EXPECT_TRUE(nothing(carla));

    anna.send("nord\r\n");
    std::string moved = anna.until(PROMPT);
    EXPECT_EQ(moved.find("Arriva"), std::string::npos) << moved; // not told of herself
    EXPECT_EQ(moved.find("Bruno dice"), std::string::npos) << moved;
    EXPECT_EQ(bruno.until(PROMPT), "\r\n- Anna va verso nord.\r\n\r\n" + PROMPT);
    bruno.send("prendi la"); // typing when Carla arrives
    carla.send("guarda\r\n");
    std::string later = carla.until(PROMPT); // what the raw client missed, in order
    EXPECT_NE(later.find("Bruno dice << ciao a tutti! >>.\r\n\r\n- Anna va verso nord.\r\n"),
              std::string::npos)
        << later;
    carla.send("nord\r\n");
    carla.until(PROMPT);
    EXPECT_EQ(bruno.until(PROMPT), "\r\n- Carla va verso nord.\r\n\r\n" + PROMPT);
    EXPECT_EQ(anna.until(PROMPT), "\r\n- Arriva Carla.\r\n\r\n" + PROMPT);
    bruno.send(" lanterna\r\n"); // the line typed before is whole
    EXPECT_NE(bruno.until(PROMPT).find("Fatto"), std::string::npos);
    anna.send("alto\r\n");
    anna.until(PROMPT);
    EXPECT_TRUE(nothing(carla));
    carla.send("guarda\r\n");
    EXPECT_NE(carla.until(PROMPT).find("- Anna sale.\r\n"), std::string::npos);
}

// LiveMessages=FALSE: every client hears what was said at its next command.
TEST_F(ServerTest, LiveMessagesCanBeTurnedOff) {
    Process server({adventure("LiveMessages=FALSE\n"), "-server", "-mud"});
    TcpClient anna(port), bruno(port);
    anna.until(NAME);
    anna.send("\xff\xfb\x1f"
              "Anna\r\nsegreto\r\nsegreto\r\n");
    anna.until(PROMPT);
    join(bruno, "Bruno", true);
    bruno.send("parla anna\r\nciao!\r\n");
    bruno.until(PROMPT);
    EXPECT_EQ(anna.within(std::chrono::milliseconds(300)), "");
    anna.send("guarda\r\n");
    EXPECT_NE(anna.until(PROMPT).find("Bruno dice << ciao! >>."), std::string::npos);
}

// A client that speaks telnet: nothing it types comes back, its password
// is kept off its screen, the text follows its window's width, and it may
// ask for the server's status.
TEST_F(ServerTest, AClientThatSpeaksTelnet) {
    Process server({adventure("Title=Il castello\n"), "-server", "-mud"});
    const std::string IAC = "\xff", SB = "\xfa", SE = "\xf0";
    auto naws = [&](int width) {
        return IAC + SB + std::string("\x1f\x00", 2) + static_cast<char>(width) +
               std::string("\x00\x14", 2) + IAC + SE;
    };
    TcpClient anna(port);
    anna.until(NAME);
    anna.send(IAC + "\xfb\x1f" + naws(40) + IAC + "\xfd\x46");
    std::string status = anna.until(IAC + SE);
    EXPECT_NE(status.find("\x01NAME\x02Il castello\x01PLAYERS\x02"
                          "0\x01UPTIME\x02"),
              std::string::npos)
        << status;
    anna.send("Anna\r\n");
    std::string asked = anna.until(PASSWORD + IAC + "\xfb\x01"); // WILL ECHO
    EXPECT_EQ(asked.find("Anna"), std::string::npos) << asked;
    anna.send("segreto\r\n");
    EXPECT_EQ(anna.until(AGAIN + IAC + "\xfb\x01"),
              IAC + "\xfc\x01\r\n" + AGAIN + IAC + "\xfb\x01");
    anna.send("segreto\r\n");
    std::string intro = anna.until(PROMPT);
    EXPECT_TRUE(intro.starts_with(IAC + "\xfc\x01\r\n")) << intro; // WONT ECHO, the Enter
    EXPECT_NE(intro.find("Benvenuto al castello. Trova la chiave\r\ne sali sulla torre."),
              std::string::npos)
        << testing::PrintToString(intro);
    anna.send("guarda\r\n");
    EXPECT_EQ(anna.until(PROMPT).find("guarda"), std::string::npos); // no echo
    TcpClient bruno(port); // who widens the window before the text comes
    bruno.until(NAME);
    bruno.send(IAC + "\xfb\x1f" + naws(40) + naws(100) + "Bruno\r\nsegreto\r\nsegreto\r\n");
    EXPECT_NE(
        bruno.until(PROMPT).find("Benvenuto al castello. Trova la chiave e sali sulla torre."),
        std::string::npos);
    // The players a scene lists follow each window too, however many share
    // the place: Massimiliano's line wraps on a narrow one only.
    TcpClient massimiliano(port);
    massimiliano.until(NAME);
    massimiliano.send("Massimiliano\r\nsegreto\r\nsegreto\r\n");
    massimiliano.until(PROMPT);
    bruno.send("guarda\r\nguarda\r\n"); // the second look lays the lines out for all
    bruno.until(PROMPT);
    std::string wide = bruno.until(PROMPT);
    EXPECT_NE(wide.find("Qui c'e' Anna.\r\nQui c'e' Massimiliano.\r\n"), std::string::npos) << wide;
    anna.send(naws(20) + "guarda\r\nguarda\r\n");
    anna.until(PROMPT);
    std::string narrow = anna.until(PROMPT);
    EXPECT_NE(narrow.find("Qui c'e' Bruno.\r\nQui c'e'\r\nMassimiliano.\r\n"), std::string::npos)
        << narrow;
    TcpClient lister(port); // a listing site's crawler
    lister.until(NAME);
    lister.send(IAC + "\xfd\x46");
    EXPECT_NE(lister.until(IAC + SE).find("\x01PLAYERS\x02"
                                          "3\x01"),
              std::string::npos);
}

// The host is told where the server listens, or why it cannot.
TEST_F(ServerTest, ListeningAndItsFailures) {
    std::string main = adventure();
    std::string where = "In attesa di giocatori sulla porta " + std::to_string(port);
    {
        Process first({main, "-server"});
        TcpClient probe(port); // the first server listens
        ASSERT_TRUE(probe.connected());
        RunResult second = runZanfir({main, "-server"});
        EXPECT_EQ(second.status, 1);
        EXPECT_EQ(second.err, "Eccezione RemoteConnectionException: Errore durante l'ascolto "
                              "sulla porta di connessione " +
                                  std::to_string(port) + ": Address already in use\n");
        first.signal(SIGTERM);
        EXPECT_NE(first.finish().out.find("\n" + where + " di ogni indirizzo\n"),
                  std::string::npos);
    }
    writeFile(main, "RemoteAddress=127.0.0.2\n" + readFile(main));
    {
        Process server({main, "-server"});
        TcpClient there(port, std::chrono::seconds(10), "127.0.0.2");
        ASSERT_TRUE(there.connected());
        EXPECT_FALSE(TcpClient(port, std::chrono::milliseconds(0)).connected()); // 127.0.0.1
        server.signal(SIGTERM);
        EXPECT_NE(server.finish().out.find(where + " dell'indirizzo 127.0.0.2\n"),
                  std::string::npos);
    }
    writeFile(main, *zanfir::Util::replace(readFile(main), "127.0.0.2", "192.0.2.1"));
    RunResult nowhere = runZanfir({main, "-server"});
    EXPECT_EQ(nowhere.status, 1);
    EXPECT_TRUE(nowhere.err.starts_with(
        "Eccezione RemoteConnectionException: Errore durante "
        "l'ascolto sulla porta di connessione " +
        std::to_string(port) + " dell'indirizzo 192.0.2.1: Cannot assign requested address\n"))
        << nowhere.err;

    // Without a port setting the server listens on 12345.
    TempDir other;
    std::string standard = copyFixture("castello", other);
    if (!TcpClient(12345, std::chrono::milliseconds(0)).connected()) {
        Process server({standard, "-server"});
        TcpClient client(12345);
        EXPECT_EQ(client.until(NAME), NEGOTIATION + "\r\ncastello\r\n\r\n" + NAME);
        EXPECT_TRUE(waitUntil([&] {
            for (const auto& row : logLines(other.file("logs")))
                if (row.ends_with("Inizio attesa connessioni sulla porta 12345"))
                    return true;
            return false;
        }));
    }

    writeFile(dir.file("nonumero.zanfa"),
              "RemotePort=dodici\n" + readFile(fixture("castello") + "/castello.zanfa"));
    for (const char* file : {"map", "dictionary", "inventory", "actionset"})
        writeFile(dir.file(std::string("nonumero.") + file),
                  readFile(dir.file(std::string("castello.") + file)));
    RunResult noNumber = runZanfir({dir.file("nonumero.zanfa"), "-server"});
    EXPECT_EQ(noNumber.err, "Eccezione NumberFormatException: Numero non valido: 'dodici'\n");
}

} // namespace
