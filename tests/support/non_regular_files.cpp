// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/non_regular_files.h"

#include <future>
#include <memory>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace iradudo::test {

std::vector<std::string> makeNonRegularFiles(const TempDir& dir, const std::string& extension)
{
    const std::string fifo = (dir.path() / ("pipe" + extension)).string();
    const std::string folder = (dir.path() / ("folder" + extension)).string();
    const std::string device = (dir.path() / ("zero" + extension)).string();
    const std::string socketPath = (dir.path() / ("socket" + extension)).string();
    if (::mkfifo(fifo.c_str(), 0600) != 0)
        throw std::runtime_error("mkfifo " + fifo);
    std::filesystem::create_directory(folder);
    std::filesystem::create_symlink("/dev/zero", device);

    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (socketPath.size() >= sizeof address.sun_path)
        throw std::runtime_error("socket path too long: " + socketPath);
    socketPath.copy(address.sun_path, socketPath.size());
    const int socketFd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const bool bound
        = socketFd >= 0 && ::bind(socketFd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    if (socketFd >= 0)
        ::close(socketFd);  // the socket's entry stays in the directory
    if (!bound)
        throw std::runtime_error("bind " + socketPath);
    return {fifo, folder, device, socketPath};
}

std::optional<std::string> resultWithin(std::chrono::milliseconds limit, std::function<std::string()> work)
{
    auto result = std::make_shared<std::promise<std::string>>();
    std::future<std::string> done = result->get_future();
    std::thread([result, work = std::move(work)] {
        try {
            result->set_value(work());
        } catch (const std::exception& error) {
            result->set_value(std::string("unexpected exception: ") + error.what());
        }
    }).detach();
    if (done.wait_for(limit) != std::future_status::ready)
        return std::nullopt;
    return done.get();
}

}  // namespace iradudo::test
