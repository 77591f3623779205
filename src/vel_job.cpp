// `vel-job`: one job without the window.
int main(int, char**) { return 0; }
