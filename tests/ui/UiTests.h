#pragma once
// Every window test lives in one program, test_ui; its first argument names the test class to run
// (the rest goes to Qt Test), so that CTest still runs and selects the classes one by one:
//   test_ui MapSceneTest -v2          test_ui --list
// A test file ends with KELVRA_UI_TEST(Class) instead of QTEST_MAIN(Class), or with
// KELVRA_UI_TEST_RUN(Class, runner) when it needs its own application object or environment.

#include <QApplication>
#include <QTest>
#include <functional>

namespace kelvra::test {

using TUiTestRun = std::function<int(int argc, char **argv)>;
bool RegisterUiTest(const char *name, TUiTestRun run);

// The usual run: a QApplication and the class's slots.
template <class T> int RunUiTest(int argc, char **argv) {
  QTest::Internal::callInitMain<T>();
  QApplication app(argc, argv);
  app.setAttribute(Qt::AA_Use96Dpi, true);
  T tc;
  return QTest::qExec(&tc, argc, argv);
}

} // namespace kelvra::test

#define KELVRA_UI_TEST_RUN(Class, ...)                                                             \
  namespace {                                                                                      \
  [[maybe_unused]] const bool kRegistered##Class =                                                 \
      kelvra::test::RegisterUiTest(#Class, __VA_ARGS__);                                           \
  }
#define KELVRA_UI_TEST(Class) KELVRA_UI_TEST_RUN(Class, &kelvra::test::RunUiTest<Class>)
