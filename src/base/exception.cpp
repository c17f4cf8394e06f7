// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/exception.h"

#include <ios>
#include <new>

namespace iradudo {

std::string messageOfCurrentException()
{
    try {
        throw;
    } catch (const Exception& error) {
        return error.what();
    } catch (const std::bad_alloc&) {
        return "Out of memory";
    } catch (const std::length_error&) {
        return "Out of memory";
    } catch (const std::ios_base::failure&) {
        return "Read error";
    } catch (...) {
        return "Unknown error";
    }
}

}  // namespace iradudo
