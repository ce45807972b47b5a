/* xshot OUT.png [X Y W H]: saves the whole X screen ($DISPLAY) as a PNG and
 * prints "W H X0 Y0 X1 Y1": the screen's size and the box holding every pixel
 * that is not black (X1, Y1 exclusive; "W H 0 0 0 0" when all of it is
 * black), within the rectangle X Y W H when one is given.
 * Built by the scripts that use it: cc xshot.c -lX11 -lpng */
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <png.h>
#include <stdio.h>
#include <stdlib.h>

int main(int argc, char** argv) {
    if (argc != 2 && argc != 6) {
        fprintf(stderr, "usage: xshot OUT.png [X Y W H]\n");
        return 2;
    }
    Display* display = XOpenDisplay(NULL);
    if (!display) {
        fprintf(stderr, "xshot: cannot open the display\n");
        return 1;
    }
    Window root = DefaultRootWindow(display);
    XWindowAttributes attributes;
    XGetWindowAttributes(display, root, &attributes);
    const int w = attributes.width, h = attributes.height;
    XImage* image = XGetImage(display, root, 0, 0, (unsigned)w, (unsigned)h, AllPlanes, ZPixmap);
    if (!image) {
        fprintf(stderr, "xshot: cannot read the screen\n");
        return 1;
    }
    int rx = 0, ry = 0, rw = w, rh = h;
    if (argc == 6) {
        rx = atoi(argv[2]);
        ry = atoi(argv[3]);
        rw = atoi(argv[4]);
        rh = atoi(argv[5]);
    }
    unsigned char* rgb = malloc((size_t)w * h * 3);
    int x0 = w, y0 = h, x1 = 0, y1 = 0;
    for (int y = 0; y < h; y++) {
        for (int x = 0; x < w; x++) {
            const unsigned long p = XGetPixel(image, x, y);
            unsigned char* o = rgb + ((size_t)y * w + x) * 3;
            o[0] = (unsigned char)((p & image->red_mask) >> 16);
            o[1] = (unsigned char)((p & image->green_mask) >> 8);
            o[2] = (unsigned char)(p & image->blue_mask);
            const int inside = x >= rx && x < rx + rw && y >= ry && y < ry + rh;
            if (inside && (o[0] | o[1] | o[2])) {
                if (x < x0) x0 = x;
                if (y < y0) y0 = y;
                if (x + 1 > x1) x1 = x + 1;
                if (y + 1 > y1) y1 = y + 1;
            }
        }
    }
    if (x1 == 0) x0 = y0 = 0;

    FILE* f = fopen(argv[1], "wb");
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, NULL, NULL, NULL);
    png_infop info = png_create_info_struct(png);
    if (!f || !png || !info || setjmp(png_jmpbuf(png))) {
        fprintf(stderr, "xshot: cannot write %s\n", argv[1]);
        return 1;
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, (png_uint_32)w, (png_uint_32)h, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < h; y++) png_write_row(png, rgb + (size_t)y * w * 3);
    png_write_end(png, NULL);
    png_destroy_write_struct(&png, &info);
    fclose(f);

    printf("%d %d %d %d %d %d\n", w, h, x0, y0, x1, y1);
    free(rgb);
    XDestroyImage(image);
    XCloseDisplay(display);
    return 0;
}
