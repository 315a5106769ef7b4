#include "form_fixture.h"

TEST_F(FormTest, Placeholder) { EXPECT_EQ(form->txtIPAddress->text(), "192.168.0.1"); }
