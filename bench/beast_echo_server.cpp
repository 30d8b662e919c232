// Baseline for the benchmarks only: a WebSocket echo server on Boost.Beast,
// synchronous, one thread per connection (the shape of KEM Engine's server).
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/websocket.hpp>

#include <cstdio>
#include <cstdlib>
#include <thread>

namespace beast = boost::beast;
namespace websocket = beast::websocket;
using tcp = boost::asio::ip::tcp;

int main(int argc, char** argv) {
  const unsigned short port = static_cast<unsigned short>(argc > 1 ? std::atoi(argv[1]) : 7902);
  boost::asio::io_context ioc{1};
  tcp::acceptor acceptor{ioc, {boost::asio::ip::make_address("127.0.0.1"), port}};
  std::printf("ready\n");
  std::fflush(stdout);
  for (;;) {
    tcp::socket socket{ioc};
    acceptor.accept(socket);
    std::thread([s = std::move(socket)]() mutable {
      try {
        s.set_option(tcp::no_delay(true));
        websocket::stream<tcp::socket> ws{std::move(s)};
        ws.accept();
        beast::flat_buffer buffer;
        for (;;) {
          ws.read(buffer);
          ws.text(ws.got_text());
          ws.write(buffer.data());
          buffer.consume(buffer.size());
        }
      } catch (const std::exception&) {
      }
    }).detach();
  }
}
