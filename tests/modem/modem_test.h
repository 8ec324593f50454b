// A fresh conversation for each test, made as the dialog makes its own: with
// the recording seam as its front end and the port slot, over the fake
// serial port.
#pragma once

#include "common/text.h"
#include "dialog/messages.h"
#include "modem/command_table.h"
#include "modem/conversation.h"
#include "serial/port_session.h"
#include "tests/support/fake_port.h"
#include "tests/support/fake_seam.h"

#include <gtest/gtest.h>

#include <string>

class ModemTest : public ::testing::Test {
  protected:
    ModemTest() {
        fake::fake_port().reset();
        seam.conversation = &talk;
    }
    ~ModemTest() override { fake::fake_port().reset(); }

    // Sends `word` and forgets what the send itself recorded.
    void start(uint32_t word) {
        talk.send_modem_command(word);
        seam.forget();
        sent_before = fake::fake_port().writes().size();
    }
    void reply(const std::string& text) {
        talk.on_modem_data(text.c_str(), static_cast<uint32_t>(text.size()));
    }
    std::vector<std::string> new_writes() const { // since start()
        auto all = fake::fake_port().writes();
        return {all.begin() + static_cast<long>(sent_before), all.end()};
    }
    // Fires the deadline armed last, as a timer might even once it is cancelled.
    int expire() {
        last_armed = seam.armed_sequence() != 0 ? seam.armed_sequence() : last_armed;
        return talk.on_reply_timer(last_armed);
    }

    // "wparam:lparam" of each MSG_COMMAND posted, and the texts of the boxes.
    std::string notices() const {
        std::string all;
        for (const fake::Post& post : seam.posts()) {
            EXPECT_EQ(post.message, MSG_COMMAND);
            all += (all.empty() ? "" : " ") + std::to_string(post.wparam) + ":" +
                   std::to_string(post.lparam);
        }
        return all;
    }
    std::string box_texts() const {
        std::string all;
        for (const fake::Box& box : seam.boxes()) {
            all += (all.empty() ? "" : "|") + box.text;
        }
        return all;
    }

    fake::FakeSeam seam;
    PortSlot slot;
    modem::Conversation talk{seam, slot.port_session};
    size_t sent_before = 0;
    unsigned last_armed = 0;
};
