# One shared world in a container, its state and logs on a volume:
#   podman build -t zanfir -f Containerfile .
#   podman run -d --name zanfir -p 12345:12345 -v zanfir:/var/lib/zanfir \
#       --stop-timeout 30 zanfir
# The first start copies the adventure to /var/lib/zanfir/<name>; edit its
# settings there. Another bundled adventure: end the run command with
# "zanfir torre /var/lib/zanfir".

FROM debian:bookworm AS build
RUN apt-get update \
    && apt-get install -y --no-install-recommends g++ cmake make pkg-config \
        nlohmann-json3-dev libsodium-dev libedit-dev libboost-dev libboost-context-dev \
    && rm -rf /var/lib/apt/lists/*
WORKDIR /src
COPY . .
RUN cmake -S . -B /build -DCMAKE_BUILD_TYPE=Release -DZANFIR_TESTS=OFF \
    && cmake --build /build -j"$(nproc)" \
        --target zanfir zanfir-check zanfir-script zanfir-admin \
    && DESTDIR=/out cmake --install /build --prefix /usr

FROM debian:bookworm-slim
RUN apt-get update \
    && apt-get install -y --no-install-recommends libsodium23 libedit2 libboost-context1.74.0 \
    && rm -rf /var/lib/apt/lists/* \
    && useradd --system --user-group --uid 999 --home-dir /var/lib/zanfir --no-create-home \
        --shell /usr/sbin/nologin zanfir \
    && mkdir -p /var/lib/zanfir \
    && chown zanfir:zanfir /var/lib/zanfir
COPY --from=build /out/usr/bin/ /usr/bin/
COPY --from=build /out/usr/share/zanfir/ /usr/share/zanfir/
USER zanfir
VOLUME /var/lib/zanfir
# The telnet port (RemotePort). With WebPort set in the copy's settings,
# publish that port too (-p 8080:8080).
EXPOSE 12345
# zanfir-world execs the server, so it is PID 1 and gets the stop signal:
# it tells the players, saves the world and exits 0 within StopTimeout
# (5 s); give it more than the default 10 s to be safe.
STOPSIGNAL SIGTERM
ENTRYPOINT ["zanfir-world"]
CMD ["miniera", "/var/lib/zanfir"]
