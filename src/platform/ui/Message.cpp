#include "Message.h"

namespace rt::ui {

Message &Message::instance()
{
    static Message message;
    return message;
}

} // namespace rt::ui
