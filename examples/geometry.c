/*
 * geometry.c - a small library of plane shapes: points and vectors, circles,
 * rectangles and polygons, their areas, bounds and transforms, a convex hull
 * and a growable list of shapes.
 *
 * A sample source to open in Far's editor and look at through Lodestar: it
 * has functions, structures, a union, enumerations, type names and macros.
 * Build the demonstration with:  cc -DGEOMETRY_DEMO geometry.c -lm
 */
#include <math.h>
#include <stddef.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define GEOMETRY_VERSION "1.2"
#define GEO_EPSILON 1e-9
#define GEO_PI 3.14159265358979323846
#define GEO_MIN(a, b) ((a) < (b) ? (a) : (b))
#define GEO_MAX(a, b) ((a) > (b) ? (a) : (b))
#define GEO_SQUARE(x) ((x) * (x))
#define DEG_TO_RAD(deg) ((deg) * GEO_PI / 180.0)
#define SHAPE_LIST_INITIAL_CAPACITY 8
#define POLYGON_MAX_VERTICES 64

typedef double real;

/* A point and a vector share one representation; the names say which is meant. */
typedef struct vec2 {
    real x;
    real y;
} vec2;

typedef vec2 point2;

typedef struct box {
    point2 min;
    point2 max;
} box;

/* A 2x3 affine matrix: the last row (0 0 1) is implied. */
typedef struct transform {
    real a, b, tx;
    real c, d, ty;
} transform;

enum shape_kind {
    SHAPE_CIRCLE,
    SHAPE_RECTANGLE,
    SHAPE_POLYGON,
    SHAPE_KIND_COUNT
};

enum orientation {
    ORIENT_CLOCKWISE = -1,
    ORIENT_COLLINEAR = 0,
    ORIENT_COUNTERCLOCKWISE = 1
};

typedef enum geo_status {
    GEO_OK = 0,
    GEO_ERR_MEMORY,
    GEO_ERR_DEGENERATE,
    GEO_ERR_TOO_MANY_VERTICES
} geo_status;

struct circle {
    point2 centre;
    real radius;
};

struct rectangle {
    point2 corner; /* the lower left one */
    real width;
    real height;
};

struct polygon {
    size_t count;
    point2 v[POLYGON_MAX_VERTICES];
};

/* One shape of any kind; kind says which member of the union is in use. */
typedef struct shape {
    enum shape_kind kind;
    const char *name;
    union shape_data {
        struct circle circle;
        struct rectangle rectangle;
        struct polygon polygon;
    } as;
} shape;

typedef struct shape_list {
    shape *items;
    size_t count;
    size_t capacity;
} shape_list;

typedef int (*shape_visitor)(const shape *s, void *context);

static const char *const shape_kind_names[SHAPE_KIND_COUNT] = {"circle", "rectangle", "polygon"};

/* ---- vectors ------------------------------------------------------------ */

vec2 vec2_make(real x, real y)
{
    vec2 v;
    v.x = x;
    v.y = y;
    return v;
}

vec2 vec2_add(vec2 a, vec2 b)
{
    return vec2_make(a.x + b.x, a.y + b.y);
}

vec2 vec2_sub(vec2 a, vec2 b)
{
    return vec2_make(a.x - b.x, a.y - b.y);
}

real vec2_dot(vec2 a, vec2 b)
{
    return a.x * b.x + a.y * b.y;
}

/* The z part of the 3D cross product: twice the signed area of (0, a, b). */
real vec2_cross(vec2 a, vec2 b)
{
    return a.x * b.y - a.y * b.x;
}

real vec2_length(vec2 v)
{
    return sqrt(vec2_dot(v, v));
}

real point_distance(point2 a, point2 b)
{
    return vec2_length(vec2_sub(b, a));
}

static int nearly_equal(real a, real b)
{
    return fabs(a - b) <= GEO_EPSILON * GEO_MAX(1.0, GEO_MAX(fabs(a), fabs(b)));
}

enum orientation orientation_of(point2 a, point2 b, point2 c)
{
    real turn = vec2_cross(vec2_sub(b, a), vec2_sub(c, a));
    if (nearly_equal(turn, 0.0))
        return ORIENT_COLLINEAR;
    return turn > 0 ? ORIENT_COUNTERCLOCKWISE : ORIENT_CLOCKWISE;
}

/* ---- boxes ------------------------------------------------------------- */

box box_empty(void)
{
    box b;
    b.min = vec2_make(HUGE_VAL, HUGE_VAL);
    b.max = vec2_make(-HUGE_VAL, -HUGE_VAL);
    return b;
}

box box_include(box b, point2 p)
{
    b.min.x = GEO_MIN(b.min.x, p.x);
    b.min.y = GEO_MIN(b.min.y, p.y);
    b.max.x = GEO_MAX(b.max.x, p.x);
    b.max.y = GEO_MAX(b.max.y, p.y);
    return b;
}

/* ---- transforms --------------------------------------------------------- */

transform transform_translate(real dx, real dy)
{
    transform t = {1.0, 0.0, dx, 0.0, 1.0, dy};
    return t;
}

transform transform_rotate(real degrees)
{
    real r = DEG_TO_RAD(degrees);
    transform t = {cos(r), -sin(r), 0.0, sin(r), cos(r), 0.0};
    return t;
}

/* The transform that applies first, then second. */
transform transform_compose(transform first, transform second)
{
    transform t;
    t.a = second.a * first.a + second.b * first.c;
    t.b = second.a * first.b + second.b * first.d;
    t.tx = second.a * first.tx + second.b * first.ty + second.tx;
    t.c = second.c * first.a + second.d * first.c;
    t.d = second.c * first.b + second.d * first.d;
    t.ty = second.c * first.tx + second.d * first.ty + second.ty;
    return t;
}

point2 transform_point(transform t, point2 p)
{
    return vec2_make(t.a * p.x + t.b * p.y + t.tx, t.c * p.x + t.d * p.y + t.ty);
}

/* ---- shapes ------------------------------------------------------------- */

shape shape_circle(point2 centre, real radius)
{
    shape s;
    memset(&s, 0, sizeof s);
    s.kind = SHAPE_CIRCLE;
    s.as.circle.centre = centre;
    s.as.circle.radius = radius;
    return s;
}

shape shape_rectangle(point2 corner, real width, real height)
{
    shape s;
    memset(&s, 0, sizeof s);
    s.kind = SHAPE_RECTANGLE;
    s.as.rectangle.corner = corner;
    s.as.rectangle.width = width;
    s.as.rectangle.height = height;
    return s;
}

geo_status shape_polygon(shape *out, const point2 *vertices, size_t count)
{
    if (count > POLYGON_MAX_VERTICES)
        return GEO_ERR_TOO_MANY_VERTICES;
    if (count < 3)
        return GEO_ERR_DEGENERATE;
    memset(out, 0, sizeof *out);
    out->kind = SHAPE_POLYGON;
    out->as.polygon.count = count;
    memcpy(out->as.polygon.v, vertices, count * sizeof *vertices);
    return GEO_OK;
}

/* Shoelace formula; positive when the vertices run counterclockwise. */
static real signed_area(const point2 *v, size_t count)
{
    real sum = 0.0;
    size_t i;
    for (i = 0; i < count; ++i)
        sum += vec2_cross(v[i], v[(i + 1) % count]);
    return sum / 2.0;
}

static real ring_perimeter(const point2 *v, size_t count)
{
    real sum = 0.0;
    size_t i;
    for (i = 0; i < count; ++i)
        sum += point_distance(v[i], v[(i + 1) % count]);
    return sum;
}

real shape_area(const shape *s)
{
    switch (s->kind) {
    case SHAPE_CIRCLE:
        return GEO_PI * GEO_SQUARE(s->as.circle.radius);
    case SHAPE_RECTANGLE:
        return s->as.rectangle.width * s->as.rectangle.height;
    case SHAPE_POLYGON:
        return fabs(signed_area(s->as.polygon.v, s->as.polygon.count));
    default:
        return 0.0;
    }
}

real shape_perimeter(const shape *s)
{
    switch (s->kind) {
    case SHAPE_CIRCLE:
        return 2.0 * GEO_PI * s->as.circle.radius;
    case SHAPE_RECTANGLE:
        return 2.0 * (s->as.rectangle.width + s->as.rectangle.height);
    case SHAPE_POLYGON:
        return ring_perimeter(s->as.polygon.v, s->as.polygon.count);
    default:
        return 0.0;
    }
}

box shape_bounds(const shape *s)
{
    box b = box_empty();
    size_t i;
    switch (s->kind) {
    case SHAPE_CIRCLE: {
        vec2 r = vec2_make(s->as.circle.radius, s->as.circle.radius);
        b = box_include(b, vec2_sub(s->as.circle.centre, r));
        b = box_include(b, vec2_add(s->as.circle.centre, r));
        break;
    }
    case SHAPE_RECTANGLE:
        b = box_include(b, s->as.rectangle.corner);
        b = box_include(b, vec2_add(s->as.rectangle.corner,
                                    vec2_make(s->as.rectangle.width, s->as.rectangle.height)));
        break;
    case SHAPE_POLYGON:
        for (i = 0; i < s->as.polygon.count; ++i)
            b = box_include(b, s->as.polygon.v[i]);
        break;
    default:
        break;
    }
    return b;
}

/*
 * A rectangle stays one only while its sides stay parallel to the axes, so a
 * transformed rectangle becomes the polygon of its corners. A circle keeps
 * its radius: every transform made here is rigid.
 */
geo_status shape_transform(shape *s, transform t)
{
    size_t i;
    switch (s->kind) {
    case SHAPE_CIRCLE:
        s->as.circle.centre = transform_point(t, s->as.circle.centre);
        return GEO_OK;
    case SHAPE_RECTANGLE: {
        point2 corners[4];
        const char *name = s->name;
        corners[0] = s->as.rectangle.corner;
        corners[1] = vec2_add(corners[0], vec2_make(s->as.rectangle.width, 0.0));
        corners[2] = vec2_add(corners[0], vec2_make(s->as.rectangle.width, s->as.rectangle.height));
        corners[3] = vec2_add(corners[0], vec2_make(0.0, s->as.rectangle.height));
        for (i = 0; i < 4; ++i)
            corners[i] = transform_point(t, corners[i]);
        shape_polygon(s, corners, 4);
        s->name = name;
        return GEO_OK;
    }
    case SHAPE_POLYGON:
        for (i = 0; i < s->as.polygon.count; ++i)
            s->as.polygon.v[i] = transform_point(t, s->as.polygon.v[i]);
        return GEO_OK;
    default:
        return GEO_ERR_DEGENERATE;
    }
}

const char *shape_kind_name(enum shape_kind kind)
{
    return kind < SHAPE_KIND_COUNT ? shape_kind_names[kind] : "unknown";
}

/* ---- convex hull -------------------------------------------------------- */

static int compare_points(const void *pa, const void *pb)
{
    const point2 *a = pa;
    const point2 *b = pb;
    if (a->x != b->x)
        return a->x < b->x ? -1 : 1;
    if (a->y != b->y)
        return a->y < b->y ? -1 : 1;
    return 0;
}

/*
 * Sorts the points, then builds the lower and the upper chain, dropping every
 * point that does not turn left. The hull goes counterclockwise into out,
 * which has room for 2 * count points; returns its number of vertices.
 */
size_t convex_hull(point2 *points, size_t count, point2 *out)
{
    size_t i, n = 0, lower_end;
    if (count < 3) {
        memcpy(out, points, count * sizeof *points);
        return count;
    }
    qsort(points, count, sizeof *points, compare_points);
    for (i = 0; i < count; ++i) {
        while (n >= 2 && orientation_of(out[n - 2], out[n - 1], points[i]) != ORIENT_COUNTERCLOCKWISE)
            --n;
        out[n++] = points[i];
    }
    lower_end = n + 1;
    for (i = count - 1; i-- > 0;) {
        while (n >= lower_end && orientation_of(out[n - 2], out[n - 1], points[i]) != ORIENT_COUNTERCLOCKWISE)
            --n;
        out[n++] = points[i];
    }
    return n - 1; /* the first point came round again */
}

/* ---- shape lists -------------------------------------------------------- */

void shape_list_init(shape_list *list)
{
    list->items = NULL;
    list->count = 0;
    list->capacity = 0;
}

void shape_list_free(shape_list *list)
{
    free(list->items);
    shape_list_init(list);
}

static geo_status shape_list_reserve(shape_list *list, size_t wanted)
{
    size_t capacity = list->capacity ? list->capacity : SHAPE_LIST_INITIAL_CAPACITY;
    shape *items;
    if (wanted <= list->capacity)
        return GEO_OK;
    while (capacity < wanted)
        capacity *= 2;
    items = realloc(list->items, capacity * sizeof *items);
    if (!items)
        return GEO_ERR_MEMORY;
    list->items = items;
    list->capacity = capacity;
    return GEO_OK;
}

geo_status shape_list_add(shape_list *list, const shape *s, const char *name)
{
    geo_status status = shape_list_reserve(list, list->count + 1);
    if (status != GEO_OK)
        return status;
    list->items[list->count] = *s;
    list->items[list->count].name = name;
    ++list->count;
    return GEO_OK;
}

/* Stops at the first visitor result that is not 0 and returns it. */
int shape_list_visit(const shape_list *list, shape_visitor visit, void *context)
{
    size_t i;
    for (i = 0; i < list->count; ++i) {
        int result = visit(&list->items[i], context);
        if (result)
            return result;
    }
    return 0;
}

real shape_list_total_area(const shape_list *list)
{
    real total = 0.0;
    size_t i;
    for (i = 0; i < list->count; ++i)
        total += shape_area(&list->items[i]);
    return total;
}

#ifdef GEOMETRY_DEMO

static int print_shape(const shape *s, void *context)
{
    FILE *out = context;
    fprintf(out, "%-10s %-9s area %8.3f  perimeter %8.3f\n", s->name ? s->name : "?", shape_kind_name(s->kind),
            shape_area(s), shape_perimeter(s));
    return 0;
}

int main(void)
{
    static point2 scattered[] = {{0, 0}, {4, 1}, {2, 2}, {1, 5}, {3, 3}, {5, 4}, {0, 3}};
    point2 hull[2 * (sizeof scattered / sizeof scattered[0])];
    size_t hull_size = convex_hull(scattered, sizeof scattered / sizeof scattered[0], hull);
    shape_list list;
    shape s;

    shape_list_init(&list);
    s = shape_circle(vec2_make(0, 0), 1.5);
    shape_list_add(&list, &s, "wheel");
    s = shape_rectangle(vec2_make(2, -1), 4, 2);
    shape_transform(&s, transform_compose(transform_rotate(30), transform_translate(1, 1)));
    shape_list_add(&list, &s, "door");
    if (shape_polygon(&s, hull, hull_size) == GEO_OK)
        shape_list_add(&list, &s, "hull");

    printf("geometry %s\n", GEOMETRY_VERSION);
    shape_list_visit(&list, print_shape, stdout);
    printf("total area %.3f\n", shape_list_total_area(&list));
    shape_list_free(&list);
    return 0;
}

#endif /* GEOMETRY_DEMO */
