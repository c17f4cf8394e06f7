// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/disc_option.h"

namespace iradudo {

DiscOption takeDiscOption(
    const std::vector<std::string>& arguments, std::size_t& index, std::vector<std::string>& discDirectories)
{
    const std::string& argument = arguments.at(index);
    if (argument == "--cd") {
        if (index + 1 >= arguments.size())
            return DiscOption::MissingDirectory;
        discDirectories.push_back(arguments[++index]);
        return DiscOption::Taken;
    }
    if (argument.starts_with("--cd=")) {
        discDirectories.push_back(argument.substr(5));
        return DiscOption::Taken;
    }
    return DiscOption::NotOne;
}

}  // namespace iradudo
