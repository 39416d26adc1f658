#include <gtest/gtest.h>

#include <boost/asio/connect.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/websocket.hpp>
#include <nlohmann/json.hpp>

#include <thread>

#include "TestSupport.h"
#include "net/Web.h"
#include "net/WebTerminal.h"
#include "util/Util.h"

using namespace zanfir::test;
namespace asio = boost::asio;
namespace beast = boost::beast;
namespace websocket = beast::websocket;

namespace {

using namespace zanfir::test::prompts;

// A client of the WebSocket protocol, as a page is; every wait fails the
// test after ten seconds.
class WebClient {
public:
    explicit WebClient(int port, const std::string& origin = "", const std::string& forwarded = "",
                       const std::string& target = "/ws")
        : _ws(_io) {
        asio::ip::tcp::endpoint server(asio::ip::make_address("127.0.0.1"),
                                       static_cast<unsigned short>(port));
        beast::get_lowest_layer(_ws).connect(server);
        std::string host = "127.0.0.1:" + std::to_string(port);
        _ws.set_option(
            websocket::stream_base::decorator([origin, forwarded](websocket::request_type& req) {
                if (!origin.empty())
                    req.set(beast::http::field::origin, origin);
                if (!forwarded.empty())
                    req.set("X-Forwarded-For", forwarded);
            }));
        boost::system::error_code error;
        _ws.async_handshake(host, target, [&](boost::system::error_code e) { error = e; });
        _opened = wait() && !error;
    }

    bool opened() const { return _opened; }
    bool secret() const { return _secret; }

    // The text that came until the session waits for a line (or ended:
    // then `ended()` is true).
    std::string untilInput() {
        std::string text;
        while (auto message = next()) {
            if ((*message)["type"] == "text")
                text += (*message)["text"].get<std::string>();
            else if ((*message)["type"] == "input") {
                _secret = (*message)["secret"].get<bool>();
                return text;
            } else if ((*message)["type"] == "end") {
                _ended = true;
                return text;
            } else if ((*message)["type"] == "resume") {
                _token = (*message)["token"].get<std::string>();
            } else if ((*message)["type"] == "status") {
                _status = (*message)["place"].get<std::string>() + " / " +
                          std::to_string((*message)["online"].get<int>());
            }
        }
        return text;
    }
    // The next text that comes, whether the session waits or not.
    std::string nextText() {
        while (auto message = next())
            if ((*message)["type"] == "text")
                return (*message)["text"].get<std::string>();
        return "";
    }
    bool ended() const { return _ended; }
    // The last status: "place / players online".
    const std::string& status() const { return _status; }
    // The last resume token given.
    const std::string& token() const { return _token; }
    // Whether the server closed the WebSocket.
    bool closed() {
        while (next()) {
        }
        return _closed;
    }

    // A text message, or a binary one (which may hold any bytes).
    void send(const std::string& line, bool binary = false) {
        boost::system::error_code error;
        _ws.binary(binary);
        _ws.async_write(asio::buffer(line),
                        [&](boost::system::error_code e, std::size_t) { error = e; });
        wait();
    }
    void leave() { beast::get_lowest_layer(_ws).close(); }

private:
    std::optional<nlohmann::json> next() {
        if (_closed)
            return std::nullopt;
        beast::flat_buffer buffer;
        boost::system::error_code error;
        _ws.async_read(buffer, [&](boost::system::error_code e, std::size_t) { error = e; });
        if (!wait() || error) {
            _closed = true;
            return std::nullopt;
        }
        return nlohmann::json::parse(beast::buffers_to_string(buffer.data()));
    }
    bool wait() {
        _io.restart();
        _io.run_for(std::chrono::seconds(10));
        if (_io.stopped())
            return true;
        ADD_FAILURE() << "the server did not answer";
        beast::get_lowest_layer(_ws).close();
        return false;
    }

    asio::io_context _io;
    websocket::stream<beast::tcp_stream> _ws;
    bool _opened = false, _secret = false, _ended = false, _closed = false;
    std::string _status, _token;
};

// A page may open a WebSocket from the server's own host, or from one the
// host allows; hosts that merely begin or end alike are others.
TEST(WebOriginTest, OnlyTheHostItselfOrOneAllowed) {
    const std::string host = "gioco.example:8080", allowed = "altro.example, pagine.example:443";
    auto allows = [&](const std::string& origin) {
        return zanfir::WebListener::originAllowed(origin, host, allowed);
    };
    EXPECT_TRUE(allows(""));
    EXPECT_TRUE(allows("http://gioco.example:8080"));
    EXPECT_TRUE(allows("HTTPS://GIOCO.EXAMPLE:8080"));
    EXPECT_TRUE(allows("https://altro.example"));
    EXPECT_TRUE(allows("https://pagine.example:443"));
    for (const char* other : {"http://gioco.example:8080.evil.example", "http://gioco.example:80",
                              "http://gioco.example", "http://evil.gioco.example:8080",
                              "http://evilaltro.example", "https://altro.example.org",
                              "https://pagine.example", "https://altro.example:8443", "null"})
        EXPECT_FALSE(allows(other)) << other;
}

class WebTest : public ::testing::Test {
protected:
    std::string adventure(const std::string& settings = "") {
        std::string main = copyFixture("castello", dir);
        port = freePort();
        web = freePort();
        writeFile(main, "RemotePort=" + std::to_string(port) + "\nWebPort=" + std::to_string(web) +
                            "\nTitle=Il <castello>\n" + settings + readFile(main));
        return main;
    }
    // Logs a new player in through the web door.
    static void join(WebClient& client, const std::string& name) {
        EXPECT_EQ(client.untilInput(), "\nIl <castello>\n\n" + NAME);
        client.send(name);
        EXPECT_EQ(client.untilInput(), NEW_NAME + PASSWORD);
        EXPECT_TRUE(client.secret());
        client.send("segreto");
        EXPECT_EQ(client.untilInput(), AGAIN);
        client.send("segreto");
        EXPECT_TRUE(client.untilInput().ends_with(PROMPT));
        EXPECT_FALSE(client.secret());
    }

    TempDir dir;
    int port = 0, web = 0;
};

} // namespace

// The page, and players in a shared world through the web door beside one
// through telnet.
TEST_F(WebTest, PlayersThroughTheWebDoor) {
    Process server({adventure("WebProxies=10.20.30.40\n"), "-server", "-mud"});
    TcpClient browser(web);
    browser.send("GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    std::string page = browser.until("</html>\n");
    EXPECT_TRUE(page.starts_with("HTTP/1.1 200 OK\r\n")) << page;
    EXPECT_NE(page.find("<title>Il &lt;castello&gt;</title>"), std::string::npos);
    EXPECT_NE(page.find("Content-Security-Policy: default-src 'none'"), std::string::npos);
    // Its stylesheet and script are in it: nothing else is served.
    EXPECT_NE(page.find("<style>\n  :root {"), std::string::npos);
    EXPECT_NE(page.find("function connect()"), std::string::npos);
    EXPECT_EQ(page.find("page.css"), std::string::npos);
    EXPECT_EQ(page.find("page.js"), std::string::npos);
    TcpClient lost(web);
    lost.send("GET /altro HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    EXPECT_TRUE(lost.until("\r\n").starts_with("HTTP/1.1 404"));

    // Who is no trusted proxy cannot name another address for himself.
    WebClient anna(web, "", "203.0.113.5");
    ASSERT_TRUE(anna.opened());
    EXPECT_EQ(anna.untilInput(), "\nIl <castello>\n\n" + NAME);
    EXPECT_FALSE(anna.secret());
    anna.send("Anna");
    EXPECT_EQ(anna.untilInput(), NEW_NAME + PASSWORD);
    EXPECT_TRUE(anna.secret());
    anna.send("segreto");
    EXPECT_EQ(anna.untilInput(), AGAIN);
    anna.send("segreto");
    std::string intro = anna.untilInput();
    // Not wrapped, line ends as LF: the page wraps.
    EXPECT_NE(intro.find("\nBenvenuto al castello. Trova la chiave e sali sulla torre.\n"),
              std::string::npos)
        << intro;
    EXPECT_EQ(intro.find('\r'), std::string::npos);
    // The page is told where the player is, and how many play.
    EXPECT_EQ(anna.status(), "Sei nell'ingresso. / 1");
    for (const auto& row : logLines(dir.file("logs")))
        EXPECT_EQ(row.find("203.0.113.5"), std::string::npos) << row;

    WebClient bruno(web);
    join(bruno, "Bruno");
    TcpClient carla(port);
    carla.until(NAME);
    carla.send("Carla\r\nsegreto\r\nsegreto\r\n");
    carla.until(PROMPT);
    anna.send("guarda");
    std::string scene = anna.untilInput();
    EXPECT_NE(scene.find("Qui c'e' Bruno."), std::string::npos) << scene;
    EXPECT_NE(scene.find("Qui c'e' Carla."), std::string::npos) << scene;
    EXPECT_EQ(anna.status(), "Sei nell'ingresso. / 3");
    carla.send("parla anna\r\n");
    carla.until("Cosa gli devo dire? ");
    carla.send("«Ciao», è tardi\r\n");
    carla.until(PROMPT);
    // Heard at once, and not again with the next command.
    EXPECT_EQ(anna.nextText(), "\nCarla dice << «Ciao», è tardi >>.\n\n" + PROMPT);
    anna.send("guarda");
    EXPECT_EQ(anna.untilInput().find("Carla dice"), std::string::npos);
    anna.send("nord");
    anna.untilInput();
    EXPECT_EQ(anna.status(), "Sei in una grande sala. / 3");
    EXPECT_EQ(bruno.nextText(), "\n- Anna va verso nord.\n\n" + PROMPT);

    anna.send("basta");
    anna.untilInput();
    anna.send("si");
    anna.untilInput();
    anna.send("");
    anna.untilInput();
    EXPECT_TRUE(anna.ended());
    EXPECT_TRUE(anna.closed());
    bruno.send("guarda");
    EXPECT_EQ(bruno.untilInput().find("Qui c'e' Anna."), std::string::npos);
}

// A reloaded page takes its player up again with its token, once, from its
// own address, without the password; a token refused sends the player to
// the login.
TEST_F(WebTest, AReloadedPageResumesItsPlayer) {
    Process server({adventure("WebProxies=127.0.0.1\n"), "-server", "-mud"});
    ASSERT_TRUE(TcpClient(web).connected());
    std::string token;
    {
        WebClient anna(web);
        join(anna, "Anna");
        token = anna.token();
        EXPECT_EQ(token.size(), 64u);
        anna.send("nord");
        anna.untilInput();
    } // the page goes away: a reload
    WebClient again(web, "", "", "/ws?resume=" + token);
    std::string scene = again.untilInput();
    EXPECT_NE(scene.find("Sei in una grande sala."), std::string::npos) << scene;
    EXPECT_EQ(scene.find("Qual'e'"), std::string::npos) << scene;
    EXPECT_NE(again.token(), token);
    EXPECT_EQ(again.token().size(), 64u);

    const std::string refused =
        "\n- Non posso riprendere la partita di prima: entra di nuovo con nome e password.\n\n";
    WebClient reused(web, "", "", "/ws?resume=" + token);
    EXPECT_EQ(reused.untilInput(), "\n" + refused + "Il <castello>\n\n" + NAME);
    WebClient elsewhere(web, "", "198.51.100.9", "/ws?resume=" + again.token());
    EXPECT_EQ(elsewhere.untilInput(), "\n" + refused + "Il <castello>\n\n" + NAME);
    // Spent by the attempt from elsewhere: no good from its own address either.
    WebClient late(web, "", "", "/ws?resume=" + again.token());
    EXPECT_EQ(late.untilInput(), "\n" + refused + "Il <castello>\n\n" + NAME);
    bool logged = false;
    for (const auto& row : logLines(dir.file("logs")))
        logged = logged || row.find("WARN Ripresa di una pagina rifiutata dall'IP 198.51.100.9") !=
                               std::string::npos;
    EXPECT_TRUE(logged);
}

// A client that sends half a request, or nothing, is closed once the
// request's time is up: it holds no connection, and no thread, for ever.
TEST_F(WebTest, HalfARequestIsClosedInTime) {
    Process server({adventure(), "-server"});
    TcpClient silent(web), half(web);
    half.send("GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n");
    auto within = zanfir::WebListener::REQUEST_TIMEOUT + std::chrono::seconds(5);
    EXPECT_TRUE(half.closedByServer(within));
    EXPECT_TRUE(silent.closedByServer(within));
}

// Pages of other sites may not open a session; a message too long ends
// its connection; clients that leave at any step take nothing with them;
// one that stays silent is closed with a word.
TEST_F(WebTest, RefusalsAndDepartures) {
    Process server({adventure("WebOrigins=gioco.example, altro.example:8443\n"
                              "MaxConnectionsPerAddress=4\nLoginTimeout=2\nWebProxies=127.0.0.1\n"),
                    "-server", "-mud"});
    ASSERT_TRUE(TcpClient(web).connected());
    EXPECT_FALSE(WebClient(web, "http://evil.example").opened());
    EXPECT_TRUE(WebClient(web, "http://127.0.0.1:" + std::to_string(web)).opened());
    EXPECT_TRUE(WebClient(web, "https://gioco.example").opened());
    EXPECT_TRUE(WebClient(web, "http://altro.example:8443").opened());
    EXPECT_FALSE(WebClient(web, "http://altro.example").opened());
    // Hosts that begin or end like an allowed one are others.
    EXPECT_FALSE(
        WebClient(web, "http://127.0.0.1:" + std::to_string(web) + ".evil.example").opened());
    EXPECT_FALSE(WebClient(web, "http://evilgioco.example").opened());
    { // a client behind the proxy this server trusts
        WebClient behind(web, "", "203.0.113.9, 10.9.8.7");
        EXPECT_EQ(behind.untilInput(), "\nIl <castello>\n\n" + NAME);
    }
    { // clients behind the proxy count by the address it forwards
        std::vector<std::unique_ptr<WebClient>> many;
        for (int i = 0; i < 4; ++i) {
            many.push_back(std::make_unique<WebClient>(web, "", "198.51.100.7"));
            EXPECT_EQ(many.back()->untilInput(), "\nIl <castello>\n\n" + NAME);
        }
        WebClient fifth(web, "", "198.51.100.7");
        EXPECT_EQ(fifth.untilInput(),
                  "- Troppe connessioni dal tuo indirizzo: riprova piu' tardi.\n");
        EXPECT_TRUE(fifth.ended());
    }
    auto logged = [&](const std::string& text) {
        for (const auto& row : logLines(dir.file("logs")))
            if (row.find(text) != std::string::npos)
                return true;
        return false;
    };
    EXPECT_TRUE(logged("Aperta una connessione con l'IP 10.9.8.7"));
    EXPECT_TRUE(logged("WARN Rifiutata una WebSocket dall'origine 'http://evil.example' dall'IP "
                       "127.0.0.1"));

    // A paste longer than a line is refused whole and the session goes on;
    // bytes that are no UTF-8 never reach the log.
    WebClient flood(web);
    flood.untilInput();
    flood.send(std::string(5000, 'x'));
    EXPECT_EQ(flood.untilInput(),
              "- La riga e' troppo lunga (piu' di 4096 byte): non ne ho fatto nulla.\n"
              "Qual'e' il tuo nome? ");
    flood.send(std::string(300, ' ') + "Fl\xFF\xC3\x80via", true);
    EXPECT_EQ(flood.untilInput(),
              "\n- Non puoi usare un nome meno ambiguo?\n\nQual'e' il tuo nome? ");
    flood.leave();
    for (const auto& row : logLines(dir.file("logs")))
        EXPECT_TRUE(zanfir::Util::isUtf8(row)) << row;
    // A message past any line's size, or the page's, ends the connection:
    // nobody streams one for ever.
    WebClient endless(web);
    endless.untilInput();
    endless.send(std::string(zanfir::WebTerminal::MAX_MESSAGE + 1, 'x'));
    EXPECT_EQ(endless.untilInput(), "");
    EXPECT_TRUE(endless.closed());

    for (int step = 0; step < 5; ++step) {
        WebClient leaving(web);
        if (step > 0)
            leaving.untilInput();
        if (step > 1)
            leaving.send("Dario");
        if (step > 2)
            leaving.untilInput();
        if (step > 3)
            leaving.send("segr");
        leaving.leave();
    }
    { // and in the middle of a request
        TcpClient half(web);
        half.send("GET /ws HTTP/1.1\r\nHost: 127.0.0.1\r\n");
    }
    // The address's connections are all given back (each as its thread
    // sees its client go).
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    WebClient a(web), b(web), c(web), d(web); // as many as the address may have
    join(a, "Anna");
    b.untilInput();
    EXPECT_TRUE(c.opened() && d.opened());

    std::string silent = b.untilInput(); // LoginTimeout
    EXPECT_NE(silent.find("- E' passato troppo tempo senza una risposta: arrivederci!"),
              std::string::npos)
        << silent;
    EXPECT_TRUE(b.ended());
    EXPECT_TRUE(b.closed());
    a.send("guarda");
    EXPECT_NE(a.untilInput().find("Sei nell'ingresso."), std::string::npos);
}
