#include "file_system/engine_error.h"

#include <string>

namespace ferrocase {
namespace {

class EngineCategory : public std::error_category {
public:
    const char* name() const noexcept override { return "ferrocase"; }

    std::string message(int code) const override {
        switch (static_cast<EngineError>(code)) {
        case EngineError::not_a_regular_file:
            return "not a regular file";
        case EngineError::no_destination_name:
            return "the name has nothing left once \".fxe\" is taken off";
        case EngineError::short_write:
            return "not all bytes could be written";
        case EngineError::in_use:
            return "in use by another run";
        case EngineError::size_changed:
            return "another program changed the file's length while it was being processed";
        case EngineError::other_settings_pending:
            return "an encryption of this file with another password or byte-skipping level was "
                   "interrupted; finish it with that password and level first";
        case EngineError::changed_since_interrupted:
            return "the file changed since its encryption was interrupted, so that encryption "
                   "cannot be finished safely";
        case EngineError::wrong_password_or_damaged:
            return "wrong password, or the file is damaged";
        case EngineError::no_record_folder:
            return "neither XDG_STATE_HOME nor HOME says where the recovery record may go";
        case EngineError::record_damaged:
            return "the recovery record of an interrupted encryption of this file is damaged, so "
                   "that encryption cannot be finished safely";
        case EngineError::record_unreadable:
            return "a recovery record cannot be read, so an interrupted encryption of this file "
                   "could not be told";
        case EngineError::part_way:
            return "an encryption of this file was interrupted; encrypt it again with the same "
                   "password and byte-skipping level to finish it first";
        case EngineError::changed_during_run:
            return "another program changed the file while it was being processed";
        case EngineError::same_destination:
            return "another file of this run was already written to the same name";
        }
        return "unknown error";
    }
};

} // namespace

const std::error_category& engine_category() {
    static const EngineCategory category;
    return category;
}

std::error_code make_error_code(EngineError error) {
    return {static_cast<int>(error), engine_category()};
}

} // namespace ferrocase
