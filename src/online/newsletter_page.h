// The newsletter page of the second window: the input checks, the sign-up request and the
// server's answer markers, then on to the quality-improvement page.
#pragma once

#include <string>
#include <string_view>

#include "online/second_form.h"

namespace nd::online {

// The text key of the input problem to show, or "" when the input may be sent. Every check
// runs and the last one that fails decides.
std::string SignUpInputProblem(std::string_view email, std::string_view first_name,
                               std::string_view last_name);

// The answer's file, in the user's application-data folder.
std::string AnswerFilePath(const Environment& env);

// Subscribe.
void Command2_Click(SecondForm& f);
// No, thanks.
void Command1_Click(SecondForm& f);

}  // namespace nd::online
